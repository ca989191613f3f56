#include "Tokenizer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace html;

namespace {

// The "doubleEscaped" tests write lone surrogates as \uHHHH inside the JSON string.
QString unescape(const QString &s)
{
    QString result;
    for (qsizetype i = 0; i < s.size(); ++i) {
        bool ok = false;
        if (s[i] == u'\\' && i + 5 < s.size() + 0 && s[i + 1] == u'u') {
            const ushort unit = s.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                result.append(QChar(unit));
                i += 5;
                continue;
            }
        }
        result.append(s[i]);
    }
    return result;
}

QJsonValue unescapeAll(const QJsonValue &value)
{
    if (value.isString())
        return unescape(value.toString());
    if (value.isArray()) {
        QJsonArray array;
        for (const QJsonValue &v : value.toArray())
            array.append(unescapeAll(v));
        return array;
    }
    if (value.isObject()) {
        QJsonObject object;
        const QJsonObject in = value.toObject();
        for (auto it = in.begin(); it != in.end(); ++it)
            object.insert(unescape(it.key()), unescapeAll(it.value()));
        return object;
    }
    return value;
}

// Writes tokens as the test files do, adjacent characters in one token.
class JsonSink : public TokenSink
{
public:
    void token(const Token &token) override
    {
        switch (token.kind) {
        case TokenKind::Characters:
            if (!tokens.isEmpty() && tokens.last().toArray().at(0) == QLatin1String("Character")) {
                QJsonArray last = tokens.last().toArray();
                last[1] = last[1].toString() + token.data;
                tokens[tokens.size() - 1] = last;
            } else {
                tokens.append(QJsonArray{QStringLiteral("Character"), token.data});
            }
            break;
        case TokenKind::StartTag: {
            QJsonObject attributes;
            for (const Attribute &attribute : token.attributes) {
                if (!attribute.duplicate)
                    attributes.insert(attribute.name, attribute.value);
            }
            QJsonArray tag{QStringLiteral("StartTag"), token.name, attributes};
            if (token.selfClosing)
                tag.append(true);
            tokens.append(tag);
            break;
        }
        case TokenKind::EndTag:
            tokens.append(QJsonArray{QStringLiteral("EndTag"), token.name});
            break;
        case TokenKind::Comment:
            tokens.append(QJsonArray{QStringLiteral("Comment"), token.data});
            break;
        case TokenKind::Doctype:
            tokens.append(QJsonArray{QStringLiteral("DOCTYPE"),
                                     token.hasDoctypeName ? QJsonValue(token.name) : QJsonValue(),
                                     token.publicIdentifier ? QJsonValue(*token.publicIdentifier) : QJsonValue(),
                                     token.systemIdentifier ? QJsonValue(*token.systemIdentifier) : QJsonValue(),
                                     !token.forceQuirks});
            break;
        case TokenKind::EndOfFile:
            ++endOfFileTokens;
            break;
        }
    }
    void parseError(ParseError error, qsizetype position) override { errors.append({error, position}); }

    QJsonArray tokens;
    QList<std::pair<ParseError, qsizetype>> errors;
    int endOfFileTokens = 0;
};

// Collects the errors only, and says so: the tokenizer tells it nothing else.
class ErrorsOnly : public TokenSink
{
public:
    bool wantsTokens() const override { return false; }
    void token(const Token &) override { QFAIL("a token told to a sink that wants none"); }
    void parseError(ParseError error, qsizetype position) override { errors.append({error, position}); }
    void attributeReference(qsizetype, qsizetype) override { QFAIL("a reference told to a sink that wants none"); }

    QList<std::pair<ParseError, qsizetype>> errors;
};

// Line and column (from 1, in UTF-16 code units as the test files count them) of an
// offset, a CR LF pair being one newline.
QJsonObject errorAt(const QString &input, ParseError error, qsizetype offset)
{
    int line = 1;
    int column = 1;
    for (qsizetype i = 0; i < offset && i < input.size(); ++i) {
        const QChar c = input[i];
        if (c == u'\r' && i + 1 < input.size() && input[i + 1] == u'\n')
            continue;
        if (c == u'\n' || c == u'\r') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return QJsonObject{{"code", parseErrorCode(error)}, {"line", line}, {"col", column}};
}

std::optional<State> stateNamed(const QString &name)
{
    static const QHash<QString, State> states{
        {"Data state", State::Data},
        {"PLAINTEXT state", State::Plaintext},
        {"RCDATA state", State::Rcdata},
        {"RAWTEXT state", State::Rawtext},
        {"Script data state", State::ScriptData},
        {"CDATA section state", State::CdataSection},
    };
    if (auto it = states.find(name); it != states.end())
        return *it;
    return std::nullopt;
}

} // namespace

class tst_Html5libTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
};

void tst_Html5libTokenizer::tokens_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("initialState");
    QTest::addColumn<QString>("lastStartTag");
    QTest::addColumn<QJsonArray>("output");
    QTest::addColumn<QJsonArray>("errors");

    const QDir dir(QStringLiteral(VELLUMIN_HTML5LIB_TEST_DATA));
    const QStringList files = dir.entryList({QStringLiteral("*.test")}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 13);
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonParseError parseError;
        const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &parseError).object();
        QCOMPARE(parseError.error, QJsonParseError::NoError);
        // xmlViolation.test describes what an XML infoset makes of HTML's tokens, which
        // is not the tokenizer's output.
        const QJsonArray tests = root.value(QStringLiteral("tests")).toArray();
        if (name == QLatin1String("xmlViolation.test"))
            continue;
        QVERIFY2(!tests.isEmpty(), qPrintable(name));
        int index = 0;
        for (const QJsonValue &value : tests) {
            const QJsonObject test = value.toObject();
            ++index;
            const bool doubleEscaped = test.value(QStringLiteral("doubleEscaped")).toBool();
            QString input = test.value(QStringLiteral("input")).toString();
            QJsonArray output = test.value(QStringLiteral("output")).toArray();
            if (doubleEscaped) {
                input = unescape(input);
                output = unescapeAll(output).toArray();
            }
            QStringList states;
            for (const QJsonValue &state : test.value(QStringLiteral("initialStates")).toArray())
                states.append(state.toString());
            if (states.isEmpty())
                states.append(QStringLiteral("Data state"));
            const QJsonValue lastStartTag = test.value(QStringLiteral("lastStartTag"));
            for (const QString &state : states) {
                const QString row = QStringLiteral("%1 #%2 %3 (%4)").arg(name).arg(index).arg(
                    test.value(QStringLiteral("description")).toString().left(60), state);
                QTest::newRow(qPrintable(row)) << input << state
                                               << (lastStartTag.isString() ? lastStartTag.toString() : QString())
                                               << output << test.value(QStringLiteral("errors")).toArray();
            }
        }
    }
}

void tst_Html5libTokenizer::tokens()
{
    QFETCH(QString, input);
    QFETCH(QString, initialState);
    QFETCH(QString, lastStartTag);
    QFETCH(QJsonArray, output);
    QFETCH(QJsonArray, errors);

    const std::optional<State> state = stateNamed(initialState);
    QVERIFY2(state, qPrintable(initialState));
    Checkpoint checkpoint(*state, lastStartTag.isEmpty() ? QStringView() : QStringView(lastStartTag));
    JsonSink sink;
    Tokenizer tokenizer(sink, true);
    tokenizer.run(input, checkpoint, input.size());

    QJsonArray actualErrors;
    for (const auto &[error, offset] : sink.errors)
        actualErrors.append(errorAt(input, error, offset));
    if (sink.tokens != output)
        qWarning().noquote() << "got" << QJsonDocument(sink.tokens).toJson(QJsonDocument::Compact)
                             << "\nexpected" << QJsonDocument(output).toJson(QJsonDocument::Compact);
    QCOMPARE(sink.tokens, output);
    if (actualErrors != errors)
        qWarning().noquote() << "got" << QJsonDocument(actualErrors).toJson(QJsonDocument::Compact)
                             << "\nexpected" << QJsonDocument(errors).toJson(QJsonDocument::Compact);
    QCOMPARE(actualErrors, errors);
    QCOMPARE(sink.endOfFileTokens, 1);
    QCOMPARE(checkpoint.position(), input.size());

    // Colouring reads without building strings and must find the same errors.
    JsonSink offsetsOnly;
    Checkpoint again(*state, lastStartTag.isEmpty() ? QStringView() : QStringView(lastStartTag));
    Tokenizer(offsetsOnly, false).run(input, again, input.size());
    QCOMPARE(offsetsOnly.errors, sink.errors);
    QVERIFY(again == checkpoint);

    // Counting errors, the view's scan wants no tokens and is told none.
    ErrorsOnly errorsOnly;
    Checkpoint third(*state, lastStartTag.isEmpty() ? QStringView() : QStringView(lastStartTag));
    Tokenizer(errorsOnly, false).run(input, third, input.size());
    QCOMPARE(errorsOnly.errors, sink.errors);
    QVERIFY(third == checkpoint);
}

QTEST_GUILESS_MAIN(tst_Html5libTokenizer)
#include "tst_html5libtokenizer.moc"
