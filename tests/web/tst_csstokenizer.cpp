#include "CssTokenStream.h"
#include "CssTokenizer.h"

#include <QtTest>

using Css::Role;
using Css::Token;
using Css::TokenType;

// The stylesheet tokenizer against the CSS Syntax standard's rules, the light reading
// of blocks that tells property names from values, the links, and resumption.
class TestCssTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void escapes_data();
    void escapes() { checkTokens(); }
    void strings_data();
    void strings() { checkTokens(); }
    void urls_data();
    void urls() { checkTokens(); }
    void comments_data();
    void comments() { checkTokens(); }
    void numbers_data();
    void numbers() { checkTokens(); }
    void identsAndDelims_data();
    void identsAndDelims() { checkTokens(); }
    void unicodeRanges_data();
    void unicodeRanges() { checkTokens(); }
    void roles_data();
    void roles();
    void links_data();
    void links();
    void resumesFromEveryTokenBoundary_data();
    void resumesFromEveryTokenBoundary();

private:
    static void tokenColumns();
    static void checkTokens();
};

namespace {

QString kindOf(const Token &token)
{
    switch (token.type) {
    case TokenType::Ident: return QStringLiteral("ident");
    case TokenType::Function: return QStringLiteral("function");
    case TokenType::AtKeyword: return QStringLiteral("at");
    case TokenType::Hash: return (token.flags & Css::HashId) ? QStringLiteral("hash-id") : QStringLiteral("hash");
    case TokenType::String: return QStringLiteral("string");
    case TokenType::BadString: return QStringLiteral("bad-string");
    case TokenType::Url: return QStringLiteral("url");
    case TokenType::BadUrl: return QStringLiteral("bad-url");
    case TokenType::Delim: return QStringLiteral("delim");
    case TokenType::Number: return (token.flags & Css::Integer) ? QStringLiteral("integer") : QStringLiteral("number");
    case TokenType::Percentage: return (token.flags & Css::Integer) ? QStringLiteral("integer%") : QStringLiteral("number%");
    case TokenType::Dimension: return (token.flags & Css::Integer) ? QStringLiteral("integer-dim") : QStringLiteral("number-dim");
    case TokenType::UnicodeRange: return QStringLiteral("range");
    case TokenType::Whitespace: return QStringLiteral("ws");
    case TokenType::Cdo: return QStringLiteral("cdo");
    case TokenType::Cdc: return QStringLiteral("cdc");
    case TokenType::Colon: return QStringLiteral("colon");
    case TokenType::Semicolon: return QStringLiteral("semicolon");
    case TokenType::Comma: return QStringLiteral("comma");
    case TokenType::OpenSquare: return QStringLiteral("[");
    case TokenType::CloseSquare: return QStringLiteral("]");
    case TokenType::OpenParen: return QStringLiteral("(");
    case TokenType::CloseParen: return QStringLiteral(")");
    case TokenType::OpenCurly: return QStringLiteral("{");
    case TokenType::CloseCurly: return QStringLiteral("}");
    case TokenType::Comment: return QStringLiteral("comment");
    }
    return QStringLiteral("?");
}

// One token as kind"text", a dimension's unit after '|', then what it carries:
// =value, a range's bounds, a delim's code point in hex, ! when cut off by the end.
QString describe(QStringView text, const Token &token)
{
    QString out = kindOf(token) + u'"';
    const QStringView span = text.sliced(token.start, token.length);
    if (token.type == TokenType::Dimension)
        out += span.first(token.numberLength).toString() + u'|' + span.sliced(token.numberLength).toString();
    else
        out += span;
    out += u'"';
    if (!token.value.isEmpty())
        out += u'=' + token.value;
    if (token.type == TokenType::UnicodeRange)
        out += QStringLiteral("=%1-%2").arg(uint(token.codePoint), 0, 16).arg(uint(token.last), 0, 16);
    if (token.type == TokenType::Delim && token.codePoint >= 0x80)
        out += QStringLiteral("=%1").arg(uint(token.codePoint), 0, 16);
    if (token.flags & Css::Unterminated)
        out += u'!';
    return out;
}

QList<Token> readAll(QStringView text, Css::State state = Css::State())
{
    QList<Token> tokens;
    Css::TokenStream stream(text, 0, state);
    Token token;
    while (stream.next(token))
        tokens.append(token);
    return tokens;
}

QString roleLetter(Role role)
{
    switch (role) {
    case Role::Other: return QStringLiteral("O");
    case Role::Selector: return QStringLiteral("S");
    case Role::AtRule: return QStringLiteral("A");
    case Role::Property: return QStringLiteral("P");
    case Role::Value: return QStringLiteral("V");
    }
    return QStringLiteral("?");
}

} // namespace

void TestCssTokenizer::tokenColumns()
{
    QTest::addColumn<QString>("css");
    QTest::addColumn<QStringList>("tokens");
}

// Tokens read outside any declaration, so that unicode ranges are not allowed.
void TestCssTokenizer::checkTokens()
{
    QFETCH(QString, css);
    QStringList got;
    qsizetype position = 0;
    Token token;
    const bool unicodeRanges = QTest::currentDataTag() && QByteArray(QTest::currentDataTag()).startsWith("allowed:");
    while (Css::consumeToken(css, position, token, unicodeRanges))
        got.append(describe(css, token));
    QTEST(got, "tokens");
}

void TestCssTokenizer::escapes_data()
{
    tokenColumns();
    QTest::newRow("a hex escape eats one whitespace after it")
        << QStringLiteral("\\41 B") << QStringList{u"ident\"\\41 B\""_qs};
    QTest::newRow("only one whitespace")
        << QStringLiteral("\\41  B") << QStringList{u"ident\"\\41 \""_qs, u"ws\" \""_qs, u"ident\"B\""_qs};
    QTest::newRow("a CR LF after a hex escape is one whitespace")
        << QStringLiteral("\\41\r\nB") << QStringList{u"ident\"\\41\r\nB\""_qs};
    QTest::newRow("at most six hex digits") << QStringLiteral("\\0000414")
                                            << QStringList{u"ident\"\\0000414\""_qs};
    QTest::newRow("an escaped newline is no escape") << QStringLiteral("a\\\nb")
        << QStringList{u"ident\"a\""_qs, u"delim\"\\\""_qs, u"ws\"\n\""_qs, u"ident\"b\""_qs};
    QTest::newRow("a backslash at the end is an escape") << QStringLiteral("a\\") << QStringList{u"ident\"a\\\""_qs};
    QTest::newRow("a lone backslash at the end is an ident") << QStringLiteral("\\") << QStringList{u"ident\"\\\""_qs};
    QTest::newRow("a backslash before a space escapes it")
        << QStringLiteral("a\\ b") << QStringList{u"ident\"a\\ b\""_qs};
    QTest::newRow("an escaped digit starts an ident") << QStringLiteral("\\31 a") << QStringList{u"ident\"\\31 a\""_qs};
    QTest::newRow("minus and an escape start an ident") << QStringLiteral("-\\31") << QStringList{u"ident\"-\\31\""_qs};
}

void TestCssTokenizer::strings_data()
{
    tokenColumns();
    QTest::newRow("escapes read in the value") << QStringLiteral("\"\\41 B\\\"\\\\\"")
                                               << QStringList{u"string\"\"\\41 B\\\"\\\\\"\"=AB\"\\"_qs};
    QTest::newRow("the other quote is text") << QStringLiteral("'a\"b'") << QStringList{u"string\"'a\"b'\"=a\"b"_qs};
    QTest::newRow("zero, a surrogate and past U+10FFFF read as U+FFFD")
        << QStringLiteral("'\\0\\D800\\110000'") << QStringList{u"string\"'\\0\\D800\\110000'\"=\uFFFD\uFFFD\uFFFD"_qs};
    QTest::newRow("an escape beyond the basic plane") << QStringLiteral("'\\1F600'") << QStringList{u"string\"'\\1F600'\"=\U0001F600"_qs};
    QTest::newRow("an escaped newline continues the string")
        << QStringLiteral("'a\\\nb'") << QStringList{u"string\"'a\\\nb'\"=ab"_qs};
    QTest::newRow("an escaped CR LF continues it too")
        << QStringLiteral("'a\\\r\nb'") << QStringList{u"string\"'a\\\r\nb'\"=ab"_qs};
    QTest::newRow("a newline makes a bad string and stays outside it")
        << QStringLiteral("\"a\nb\"")
        << QStringList{u"bad-string\"\"a\""_qs, u"ws\"\n\""_qs, u"ident\"b\""_qs, u"string\"\"\"!"_qs};
    QTest::newRow("a CR LF after a bad string is one whitespace")
        << QStringLiteral("'a\r\nb") << QStringList{u"bad-string\"'a\""_qs, u"ws\"\r\n\""_qs, u"ident\"b\""_qs};
    QTest::newRow("a form feed ends a string") << QStringLiteral("'a\fb'")
        << QStringList{u"bad-string\"'a\""_qs, u"ws\"\f\""_qs, u"ident\"b\""_qs, u"string\"'\"!"_qs};
    QTest::newRow("the end cuts a string") << QStringLiteral("'ab") << QStringList{u"string\"'ab\"=ab!"_qs};
    QTest::newRow("a backslash at the end of a string is dropped")
        << QStringLiteral("'ab\\") << QStringList{u"string\"'ab\\\"=ab!"_qs};
    QTest::newRow("NUL and a lone surrogate read as U+FFFD")
        << QString(u"'a"_qs + QChar(0) + QChar(0xD800) + u"b'"_qs) << QStringList{u"string\"'a"_qs + QChar(0) + QChar(0xD800) + u"b'\"=a\uFFFD\uFFFDb"_qs};
    QTest::newRow("an empty string") << QStringLiteral("''") << QStringList{u"string\"''\""_qs};
}

void TestCssTokenizer::urls_data()
{
    tokenColumns();
    QTest::newRow("unquoted") << QStringLiteral("url(a.png)") << QStringList{u"url\"url(a.png)\"=a.png"_qs};
    QTest::newRow("whitespace around the address") << QStringLiteral("url(  a.png\t)") << QStringList{u"url\"url(  a.png\t)\"=a.png"_qs};
    QTest::newRow("any case") << QStringLiteral("URL(a)") << QStringList{u"url\"URL(a)\"=a"_qs};
    QTest::newRow("an escaped name") << QStringLiteral("u\\72 l(a)") << QStringList{u"url\"u\\72 l(a)\"=a"_qs};
    QTest::newRow("escapes in the address") << QStringLiteral("url(a\\)\\ b)") << QStringList{u"url\"url(a\\)\\ b)\"=a) b"_qs};
    QTest::newRow("quoted: a function and a string")
        << QStringLiteral("url(\"a.png\")") << QStringList{u"function\"url(\""_qs, u"string\"\"a.png\"\"=a.png"_qs, u")\")\""_qs};
    QTest::newRow("one space before the quote stays a token")
        << QStringLiteral("url( 'a')") << QStringList{u"function\"url(\""_qs, u"ws\" \""_qs, u"string\"'a'\"=a"_qs, u")\")\""_qs};
    QTest::newRow("of more spaces, all but one go with the function")
        << QStringLiteral("url(   'a')") << QStringList{u"function\"url(  \""_qs, u"ws\" \""_qs, u"string\"'a'\"=a"_qs, u")\")\""_qs};
    QTest::newRow("whitespace inside the address makes a bad url")
        << QStringLiteral("url(a b)c") << QStringList{u"bad-url\"url(a b)\""_qs, u"ident\"c\""_qs};
    QTest::newRow("a quote inside makes a bad url") << QStringLiteral("url(a\"b)c") << QStringList{u"bad-url\"url(a\"b)\""_qs, u"ident\"c\""_qs};
    QTest::newRow("an open parenthesis inside makes a bad url")
        << QStringLiteral("url(a(b)c)") << QStringList{u"bad-url\"url(a(b)\""_qs, u"ident\"c\""_qs, u")\")\""_qs};
    QTest::newRow("a control character makes a bad url")
        << QString(u"url(a"_qs + QChar(1) + u"b)"_qs) << QStringList{u"bad-url\"url(a"_qs + QChar(1) + u"b)\""_qs};
    QTest::newRow("an escaped newline makes a bad url")
        << QStringLiteral("url(a\\\nb)c") << QStringList{u"bad-url\"url(a\\\nb)\""_qs, u"ident\"c\""_qs};
    QTest::newRow("a bad url's remnants skip escaped parentheses")
        << QStringLiteral("url(a b\\)c)d") << QStringList{u"bad-url\"url(a b\\)c)\""_qs, u"ident\"d\""_qs};
    QTest::newRow("a bad url runs to the end") << QStringLiteral("url(a b") << QStringList{u"bad-url\"url(a b\""_qs};
    QTest::newRow("the end cuts a url") << QStringLiteral("url(a") << QStringList{u"url\"url(a\"=a!"_qs};
    QTest::newRow("the end after whitespace cuts a url") << QStringLiteral("url(a ") << QStringList{u"url\"url(a \"=a!"_qs};
    QTest::newRow("an empty url") << QStringLiteral("url()") << QStringList{u"url\"url()\""_qs};
    QTest::newRow("url with a space before the parenthesis is an ident")
        << QStringLiteral("url (a)") << QStringList{u"ident\"url\""_qs, u"ws\" \""_qs, u"(\"(\""_qs, u"ident\"a\""_qs, u")\")\""_qs};
    QTest::newRow("another function") << QStringLiteral("urls(a)") << QStringList{u"function\"urls(\""_qs, u"ident\"a\""_qs, u")\")\""_qs};
}

void TestCssTokenizer::comments_data()
{
    tokenColumns();
    QTest::newRow("a comment, then an ident") << QStringLiteral("/* a */b") << QStringList{u"comment\"/* a */\""_qs, u"ident\"b\""_qs};
    QTest::newRow("/*/ does not close") << QStringLiteral("/*/ a */") << QStringList{u"comment\"/*/ a */\""_qs};
    QTest::newRow("an empty comment between idents")
        << QStringLiteral("a/**/b") << QStringList{u"ident\"a\""_qs, u"comment\"/**/\""_qs, u"ident\"b\""_qs};
    QTest::newRow("an unterminated comment runs to the end")
        << QStringLiteral("/* a { b") << QStringList{u"comment\"/* a { b\"!"_qs};
    QTest::newRow("a lone slash is a delim") << QStringLiteral("a/b") << QStringList{u"ident\"a\""_qs, u"delim\"/\""_qs, u"ident\"b\""_qs};
    QTest::newRow("no comment inside a string") << QStringLiteral("'/*'") << QStringList{u"string\"'/*'\"=/*"_qs};
}

void TestCssTokenizer::numbers_data()
{
    tokenColumns();
    QTest::newRow("exponent and unit") << QStringLiteral("1e3px") << QStringList{u"number-dim\"1e3|px\""_qs};
    QTest::newRow("sign, point, exponent sign, percent") << QStringLiteral("+.5e-2%") << QStringList{u"number%\"+.5e-2%\""_qs};
    QTest::newRow("1e is 1 with unit e") << QStringLiteral("1e") << QStringList{u"integer-dim\"1|e\""_qs};
    QTest::newRow("1e+ is 1 with unit e, then +") << QStringLiteral("1e+") << QStringList{u"integer-dim\"1|e\""_qs, u"delim\"+\""_qs};
    QTest::newRow("capital E and plus") << QStringLiteral("10E+2") << QStringList{u"number\"10E+2\""_qs};
    QTest::newRow("an integer") << QStringLiteral("-12") << QStringList{u"integer\"-12\""_qs};
    QTest::newRow("a point with no digit after it is not the number's")
        << QStringLiteral("1.") << QStringList{u"integer\"1\""_qs, u"delim\".\""_qs};
    QTest::newRow("two points: two numbers") << QStringLiteral("1.5.5") << QStringList{u"number\"1.5\""_qs, u"number\".5\""_qs};
    QTest::newRow("two signs") << QStringLiteral("+-1") << QStringList{u"delim\"+\""_qs, u"integer\"-1\""_qs};
    QTest::newRow("a sign alone") << QStringLiteral("+ 1") << QStringList{u"delim\"+\""_qs, u"ws\" \""_qs, u"integer\"1\""_qs};
    QTest::newRow("a unit after a point") << QStringLiteral("-.5em") << QStringList{u"number-dim\"-.5|em\""_qs};
    QTest::newRow("a percent, then a delim") << QStringLiteral("5%%") << QStringList{u"integer%\"5%\""_qs, u"delim\"%\""_qs};
    QTest::newRow("an escaped unit") << QStringLiteral("12\\70 x") << QStringList{u"integer-dim\"12|\\70 x\""_qs};
    QTest::newRow("a unit that starts with a minus") << QStringLiteral("1-x") << QStringList{u"integer-dim\"1|-x\""_qs};
    QTest::newRow("a minus then a digit is no unit") << QStringLiteral("1-2") << QStringList{u"integer\"1\""_qs, u"integer\"-2\""_qs};
    QTest::newRow("a custom property's double minus is a unit") << QStringLiteral("1--a") << QStringList{u"integer-dim\"1|--a\""_qs};
}

void TestCssTokenizer::identsAndDelims_data()
{
    tokenColumns();
    QTest::newRow("a custom ident") << QStringLiteral("--custom-ident") << QStringList{u"ident\"--custom-ident\""_qs};
    QTest::newRow("two minuses alone are an ident") << QStringLiteral("--") << QStringList{u"ident\"--\""_qs};
    QTest::newRow("-->") << QStringLiteral("-->") << QStringList{u"cdc\"-->\""_qs};
    QTest::newRow("---> is an ident and a delim") << QStringLiteral("--->") << QStringList{u"ident\"---\""_qs, u"delim\">\""_qs};
    QTest::newRow("<!--") << QStringLiteral("<!--a") << QStringList{u"cdo\"<!--\""_qs, u"ident\"a\""_qs};
    QTest::newRow("<!- is three delims")
        << QStringLiteral("<!-") << QStringList{u"delim\"<\""_qs, u"delim\"!\""_qs, u"delim\"-\""_qs};
    QTest::newRow("a minus alone is a delim") << QStringLiteral("- a") << QStringList{u"delim\"-\""_qs, u"ws\" \""_qs, u"ident\"a\""_qs};
    QTest::newRow("a hash that is an id") << QStringLiteral("#a1") << QStringList{u"hash-id\"#a1\""_qs};
    QTest::newRow("a hash that starts with a digit") << QStringLiteral("#1a") << QStringList{u"hash\"#1a\""_qs};
    QTest::newRow("a hash with minus and digit") << QStringLiteral("#-1") << QStringList{u"hash\"#-1\""_qs};
    QTest::newRow("a hash with two minuses is an id") << QStringLiteral("#--a") << QStringList{u"hash-id\"#--a\""_qs};
    QTest::newRow("a hash with an escape") << QStringLiteral("#\\31") << QStringList{u"hash-id\"#\\31\""_qs};
    QTest::newRow("a number sign alone is a delim") << QStringLiteral("# a") << QStringList{u"delim\"#\""_qs, u"ws\" \""_qs, u"ident\"a\""_qs};
    QTest::newRow("an at-keyword") << QStringLiteral("@media") << QStringList{u"at\"@media\""_qs};
    QTest::newRow("an at-keyword with a minus") << QStringLiteral("@-x-y") << QStringList{u"at\"@-x-y\""_qs};
    QTest::newRow("@ and a digit") << QStringLiteral("@1") << QStringList{u"delim\"@\""_qs, u"integer\"1\""_qs};
    QTest::newRow("@ and two minuses") << QStringLiteral("@--x") << QStringList{u"at\"@--x\""_qs};
    QTest::newRow("a function") << QStringLiteral("rgb(1)") << QStringList{u"function\"rgb(\""_qs, u"integer\"1\""_qs, u")\")\""_qs};
    QTest::newRow("non-ASCII starts an ident") << QStringLiteral("é€") << QStringList{u"ident\"é€\""_qs};
    QTest::newRow("NUL inside an ident") << QString(u"a"_qs + QChar(0) + u"b"_qs) << QStringList{u"ident\"a"_qs + QChar(0) + u"b\""_qs};
    QTest::newRow("a pair of surrogates in an ident") << QStringLiteral("a\U0001F600") << QStringList{u"ident\"a\U0001F600\""_qs};
    QTest::newRow("CR LF, FF and tab are one whitespace token")
        << QStringLiteral("a\r\n\f\t b") << QStringList{u"ident\"a\""_qs, u"ws\"\r\n\f\t \""_qs, u"ident\"b\""_qs};
    QTest::newRow("punctuation")
        << QStringLiteral(":;,[]{}")
        << QStringList{u"colon\":\""_qs, u"semicolon\";\""_qs, u"comma\",\""_qs, u"[\"[\""_qs, u"]\"]\""_qs, u"{\"{\""_qs, u"}\"}\""_qs};
    QTest::newRow("a delim beyond ASCII? none: all of it is ident") << QStringLiteral("\u00A0") << QStringList{u"ident\"\u00A0\""_qs};
}

// Rows whose tag starts with "allowed:" are read with unicode ranges allowed.
void TestCssTokenizer::unicodeRanges_data()
{
    tokenColumns();
    QTest::newRow("allowed: a range") << QStringLiteral("U+0-7F") << QStringList{u"range\"U+0-7F\"=0-7f"_qs};
    QTest::newRow("allowed: question marks") << QStringLiteral("u+4??") << QStringList{u"range\"u+4??\"=400-4ff"_qs};
    QTest::newRow("allowed: a single code point") << QStringLiteral("U+1F600") << QStringList{u"range\"U+1F600\"=1f600-1f600"_qs};
    QTest::newRow("allowed: six question marks") << QStringLiteral("U+??????") << QStringList{u"range\"U+??????\"=0-ffffff"_qs};
    QTest::newRow("allowed: at most six digits")
        << QStringLiteral("U+1234567") << QStringList{u"range\"U+123456\"=123456-123456"_qs, u"integer\"7\""_qs};
    QTest::newRow("allowed: question marks end it")
        << QStringLiteral("U+1?-2") << QStringList{u"range\"U+1?\"=10-1f"_qs, u"integer\"-2\""_qs};
    QTest::newRow("allowed: a minus without a digit is not the range's")
        << QStringLiteral("U+a-") << QStringList{u"range\"U+a\"=a-a"_qs, u"delim\"-\""_qs};
    QTest::newRow("allowed: U+ without a digit is an ident")
        << QStringLiteral("U+x") << QStringList{u"ident\"U\""_qs, u"delim\"+\""_qs, u"ident\"x\""_qs};
    QTest::newRow("elsewhere U+0-7F is an ident, a number and a dimension")
        << QStringLiteral("U+0-7F") << QStringList{u"ident\"U\""_qs, u"integer\"+0\""_qs, u"integer-dim\"-7|F\""_qs};
    QTest::newRow("elsewhere u+4?? is an ident, a number and delims")
        << QStringLiteral("u+4??") << QStringList{u"ident\"u\""_qs, u"integer\"+4\""_qs, u"delim\"?\""_qs, u"delim\"?\""_qs};
}

void TestCssTokenizer::roles_data()
{
    QTest::addColumn<QString>("css");
    QTest::addColumn<bool>("styleAttribute");
    QTest::addColumn<QString>("roles");
    QTest::newRow("a style rule") << QStringLiteral("a{color:red}") << false << QStringLiteral("a:S {:O color:P ::O red:V }:O");
    QTest::newRow("whitespace and a comment before the colon")
        << QStringLiteral("a b { color /*x*/ : red blue ; }") << false
        << QStringLiteral("a:S b:S {:O color:P ::O red:V blue:V ;:O }:O");
    QTest::newRow("a rule in @media")
        << QStringLiteral("@media screen{a{b:c}}") << false << QStringLiteral("@media:A screen:A {:O a:S {:O b:P ::O c:V }:O }:O");
    QTest::newRow("@font-face holds declarations")
        << QStringLiteral("@font-face{font-family:x}") << false << QStringLiteral("@font-face:A {:O font-family:P ::O x:V }:O");
    QTest::newRow("a statement at-rule, then a rule")
        << QStringLiteral("@import url(a.css) screen;a{}") << false << QStringLiteral("@import:A url(a.css):A screen:A ;:O a:S {:O }:O");
    QTest::newRow("nested rules after a declaration")
        << QStringLiteral("a{color:red;&:hover{color:blue}}") << false
        << QStringLiteral("a:S {:O color:P ::O red:V ;:O &:S ::S hover:S {:O color:P ::O blue:V }:O }:O");
    QTest::newRow("an ident without a colon starts a nested rule")
        << QStringLiteral("a{b{c:d}}") << false << QStringLiteral("a:S {:O b:S {:O c:P ::O d:V }:O }:O");
    QTest::newRow("a block inside a value is the value's")
        << QStringLiteral("a{--x:{a;b};c:d}") << false
        << QStringLiteral("a:S {:O --x:P ::O {:V a:V ;:V b:V }:V ;:O c:P ::O d:V }:O");
    QTest::newRow("a nested rule read first as a declaration: its block still holds declarations")
        << QStringLiteral("a{b:hover{c:d}e:f}") << false
        << QStringLiteral("a:S {:O b:P ::O hover:V {:O c:P ::O d:V }:O e:P ::O f:V }:O");
    QTest::newRow("a semicolon inside a function is the value's")
        << QStringLiteral("a{b:f(;)c;d:e}") << false
        << QStringLiteral("a:S {:O b:P ::O f(:V ;:V ):V c:V ;:O d:P ::O e:V }:O");
    QTest::newRow("a closer of another kind does not end a function")
        << QStringLiteral("a{b:f(]}x);c:d}") << false
        << QStringLiteral("a:S {:O b:P ::O f(:V ]:V }:V x:V ):V ;:O c:P ::O d:V }:O");
    QTest::newRow("a style attribute holds declarations")
        << QStringLiteral("color:red;background:url(x)") << true << QStringLiteral("color:P ::O red:V ;:O background:P ::O url(x):V");
    QTest::newRow("keyframes hold rules")
        << QStringLiteral("@keyframes k{from{a:b}50%{a:c}}") << false
        << QStringLiteral("@keyframes:A k:A {:O from:S {:O a:P ::O b:V }:O 50%:S {:O a:P ::O c:V }:O }:O");
    QTest::newRow("@page margin rules hold declarations")
        << QStringLiteral("@page{margin:0;@top-left{content:\"x\"}}") << false
        << QStringLiteral("@page:A {:O margin:P ::O 0:V ;:O @top-left:A {:O content:P ::O \"x\":V }:O }:O");
    QTest::newRow("@media nested in a style rule holds declarations")
        << QStringLiteral("a{@media x{color:red}}") << false
        << QStringLiteral("a:S {:O @media:A x:A {:O color:P ::O red:V }:O }:O");
    QTest::newRow("a colon at the top level is a selector's")
        << QStringLiteral("a:hover{b:c}") << false << QStringLiteral("a:S ::S hover:S {:O b:P ::O c:V }:O");
    QTest::newRow("!important is the value's")
        << QStringLiteral("a{b:c!important}") << false << QStringLiteral("a:S {:O b:P ::O c:V !:V important:V }:O");
    QTest::newRow("<!-- and --> between rules")
        << QStringLiteral("<!-- a{} -->") << false << QStringLiteral("<!--:O a:S {:O }:O -->:O");
    QTest::newRow("a brace inside an attribute selector's string")
        << QStringLiteral("a[b='{']{c:d}") << false << QStringLiteral("a:S [:S b:S =:S '{':S ]:S {:O c:P ::O d:V }:O");
    QTest::newRow("a stray closing brace at the top level starts a selector")
        << QStringLiteral("}a{b:c}") << false << QStringLiteral("}:S a:S {:O b:P ::O c:V }:O");
    QTest::newRow("a declaration ended by the block's brace")
        << QStringLiteral("a{b:c}d{e:f}") << false << QStringLiteral("a:S {:O b:P ::O c:V }:O d:S {:O e:P ::O f:V }:O");
    QTest::newRow("a bad declaration inside a block ends at its semicolon")
        << QStringLiteral("a{b c;d:e}") << false << QStringLiteral("a:S {:O b:S c:S ;:O d:P ::O e:V }:O");
}

void TestCssTokenizer::roles()
{
    QFETCH(QString, css);
    QFETCH(bool, styleAttribute);
    QStringList got;
    for (const Token &token : readAll(css, styleAttribute ? Css::State::declarationList() : Css::State())) {
        if (token.type != TokenType::Whitespace && token.type != TokenType::Comment)
            got.append(css.sliced(token.start, token.length) + u':' + roleLetter(token.role));
    }
    QTEST(got.join(u' '), "roles");
}

void TestCssTokenizer::links_data()
{
    QTest::addColumn<QString>("css");
    QTest::addColumn<QStringList>("links");
    QTest::newRow("url()") << QStringLiteral("a{background:url(x.png)}") << QStringList{u"url(x.png)=x.png"_qs};
    QTest::newRow("url() with a quoted address")
        << QStringLiteral("a{background:url( \"x.png\" )}") << QStringList{u"\"x.png\"=x.png"_qs};
    QTest::newRow("url() with spaces before the quote")
        << QStringLiteral("a{background:url(   'x.png')}") << QStringList{u"'x.png'=x.png"_qs};
    QTest::newRow("@import and a string") << QStringLiteral("@import \"a.css\";") << QStringList{u"\"a.css\"=a.css"_qs};
    QTest::newRow("@import and url() with a string")
        << QStringLiteral("@import url('a.css') screen;") << QStringList{u"'a.css'=a.css"_qs};
    QTest::newRow("@import and url()") << QStringLiteral("@import url(a.css);") << QStringList{u"url(a.css)=a.css"_qs};
    QTest::newRow("only @import's first string") << QStringLiteral("@import \"a.css\" \"b.css\";") << QStringList{u"\"a.css\"=a.css"_qs};
    QTest::newRow("@import in capitals, a comment before the string")
        << QStringLiteral("@IMPORT /* x */ 'a.css';") << QStringList{u"'a.css'=a.css"_qs};
    QTest::newRow("an ordinary string is no link") << QStringLiteral("a{content:\"x.png\"}") << QStringList{};
    QTest::newRow("a string in another function is no link") << QStringLiteral("a{b:image-set(\"x.png\" 1x)}") << QStringList{};
    QTest::newRow("only url()'s first string") << QStringLiteral("a{b:url(\"a\" \"b\")}") << QStringList{u"\"a\"=a"_qs};
    QTest::newRow("a bad url is no link") << QStringLiteral("a{b:url(a b)}") << QStringList{};
    QTest::newRow("escapes read in the address") << QStringLiteral("a{b:u\\72l(x\\20y)}") << QStringList{u"u\\72l(x\\20y)=x y"_qs};
    QTest::newRow("a url in a selector's place still links") << QStringLiteral("url(a){}") << QStringList{u"url(a)=a"_qs};
    QTest::newRow("@namespace's string is no link") << QStringLiteral("@namespace \"http://x\";") << QStringList{};
}

void TestCssTokenizer::links()
{
    QFETCH(QString, css);
    QStringList got;
    for (const Token &token : readAll(css)) {
        if (token.flags & Css::Link)
            got.append(css.sliced(token.start, token.length) + u'=' + token.value);
    }
    QTEST(got, "links");
}

void TestCssTokenizer::resumesFromEveryTokenBoundary_data()
{
    QTest::addColumn<QString>("css");
    QTest::addColumn<bool>("styleAttribute");
    QTest::newRow("rules, at-rules and nesting")
        << QStringLiteral("@import url(\"a.css\");@media (min-width:1px){a>b:hover{color:red!important;&.x{c:d}}}"
                          "@font-face{font-family:'x';src:url(x.woff2) format(\"woff2\");unicode-range:U+0-7F,u+4??}")
        << false;
    QTest::newRow("values with blocks and functions")
        << QStringLiteral("a{--x:{a;b};b:f(;[)]});c:calc(1px + (2e3% * 3))}d{e:f}") << false;
    QTest::newRow("line breaks, bad strings, comments")
        << QStringLiteral("a {\r\n  b: 'x\r\n  c: d; /* e */\r\n}\f<!-- x --> /* cut") << false;
    QTest::newRow("a style attribute") << QStringLiteral("color: red; background: url( 'x' ) no-repeat") << true;
    QTest::newRow("surrogates and escapes")
        << QString(u"a\U0001F600{b:'\\1F600"_qs + QChar(0xDC00) + u"'} \\"_qs) << false;
    QTest::newRow("nested deeper than the tracked levels")
        << QString(QStringLiteral("a{").repeated(70) + QStringLiteral("b:f(").repeated(40) + QStringLiteral("x") + QStringLiteral(")").repeated(40)
                   + QStringLiteral(";c:d}").repeated(70)) << false;
    QTest::newRow("a url cut by the end") << QStringLiteral("a{b:url(x") << false;
}

// Every token boundary is a checkpoint: reading on from it gives the same tokens as
// reading from the start, and the tokens cover the text with no gap.
void TestCssTokenizer::resumesFromEveryTokenBoundary()
{
    QFETCH(QString, css);
    QFETCH(bool, styleAttribute);
    const Css::State start = styleAttribute ? Css::State::declarationList() : Css::State();
    QList<Token> tokens;
    QList<std::pair<qsizetype, Css::State>> checkpoints{{0, start}};
    Css::TokenStream stream(css, 0, start);
    Token token;
    while (stream.next(token)) {
        QCOMPARE(token.start, tokens.isEmpty() ? 0 : tokens.last().end());
        QVERIFY(token.length > 0);
        tokens.append(token);
        checkpoints.append({stream.position(), stream.state()});
    }
    QCOMPARE(tokens.isEmpty() ? 0 : tokens.last().end(), css.size());

    for (qsizetype i = 0; i < checkpoints.size(); ++i) {
        Css::TokenStream resumed(css, checkpoints[i].first, checkpoints[i].second);
        for (qsizetype j = i; j < tokens.size(); ++j) {
            QVERIFY2(resumed.next(token), qPrintable(QStringLiteral("from token %1").arg(i)));
            const Token &expected = tokens[j];
            const QString where = QStringLiteral("token %1 from checkpoint %2").arg(j).arg(i);
            QVERIFY2(token.start == expected.start && token.length == expected.length && token.type == expected.type
                         && token.role == expected.role && token.flags == expected.flags && token.value == expected.value,
                     qPrintable(where));
            QVERIFY2(resumed.state() == checkpoints[j + 1].second, qPrintable(where));
        }
        QVERIFY(!resumed.next(token));
    }
}

QTEST_GUILESS_MAIN(TestCssTokenizer)
#include "tst_csstokenizer.moc"
