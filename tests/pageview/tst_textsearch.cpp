#include "TextSearch.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestTextSearch : public QObject
{
    Q_OBJECT

private slots:
    void findNext_data();
    void findNext();
    void findPrevious_data();
    void findPrevious();
    void countMatches_data();
    void countMatches();
    void foldingKeepsLength();
};

namespace {
constexpr Qt::CaseSensitivity exact = Qt::CaseSensitive;
constexpr Qt::CaseSensitivity anyCase = Qt::CaseInsensitive;
} // namespace

void TestTextSearch::findNext_data()
{
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<Qt::CaseSensitivity>("cs");
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<qsizetype>("found");

    QTest::newRow("exact case skips other cases") << u"DIV Div div"_s << u"div"_s << exact << 0LL << -1LL << 8LL;
    QTest::newRow("ignoring case finds upper case") << u"a DIV div"_s << u"div"_s << anyCase << 0LL << -1LL << 2LL;
    QTest::newRow("a mixed-case needle ignores its case") << u"a div"_s << u"DiV"_s << anyCase << 0LL << -1LL << 2LL;
    QTest::newRow("from an offset on") << u"div div"_s << u"div"_s << anyCase << 1LL << -1LL << 4LL;
    QTest::newRow("a match at from") << u"div div"_s << u"div"_s << anyCase << 4LL << -1LL << 4LL;
    QTest::newRow("a match at the very end") << u"xxdiv"_s << u"div"_s << exact << 0LL << -1LL << 2LL;
    QTest::newRow("a match is the whole haystack") << u"div"_s << u"div"_s << anyCase << 0LL << -1LL << 0LL;
    QTest::newRow("half a match at the end is none") << u"xxdi"_s << u"div"_s << anyCase << 0LL << -1LL << -1LL;
    QTest::newRow("a false start before the match") << u"dddiv"_s << u"div"_s << anyCase << 0LL << -1LL << 2LL;
    QTest::newRow("a match may run past to") << u"abcdef"_s << u"cde"_s << exact << 0LL << 3LL << 2LL;
    QTest::newRow("a match starting at to is not found") << u"abcdef"_s << u"cde"_s << exact << 0LL << 2LL << -1LL;
    QTest::newRow("from past the end") << u"abc"_s << u"c"_s << exact << 4LL << -1LL << -1LL;
    QTest::newRow("a negative from is the start") << u"abc"_s << u"a"_s << exact << -5LL << -1LL << 0LL;
    QTest::newRow("needle longer than the haystack") << u"di"_s << u"div"_s << anyCase << 0LL << -1LL << -1LL;
    QTest::newRow("empty needle finds nothing") << u"abc"_s << u""_s << anyCase << 0LL << -1LL << -1LL;
    QTest::newRow("empty haystack") << u""_s << u"a"_s << anyCase << 0LL << -1LL << -1LL;
    QTest::newRow("Ä finds ä") << u"Bär"_s << u"ÄR"_s << anyCase << 0LL << -1LL << 1LL;
    QTest::newRow("Ä does not find ä with case") << u"Bär"_s << u"Är"_s << exact << 0LL << -1LL << -1LL;
    QTest::newRow("Σ finds final ς") << u"λόγος"_s << u"Σ"_s << anyCase << 0LL << -1LL << 4LL;
    QTest::newRow("ς finds Σ") << u"ΛΌΓΟΣ"_s << u"ς"_s << anyCase << 0LL << -1LL << 4LL;
    QTest::newRow("σ finds Σ") << u"ΟΔΟΣ"_s << u"οσ"_s << anyCase << 0LL << -1LL << 2LL;
    QTest::newRow("Cyrillic") << u"Да, привет"_s << u"ПРИВЕТ"_s << anyCase << 0LL << -1LL << 4LL;
    QTest::newRow("the Kelvin sign folds to k") << u"5 \u212A"_s << u"k"_s << anyCase << 0LL << -1LL << 2LL;
    QTest::newRow("a Kelvin sign in the needle finds k") << u"kelvin"_s << u"\u212Aelvin"_s << anyCase << 0LL << -1LL << 0LL;
    QTest::newRow("long s folds to s") << u"Meſſe"_s << u"MESSE"_s << anyCase << 0LL << -1LL << 0LL;
    QTest::newRow("ß is not ss") << u"strasse"_s << u"ß"_s << anyCase << 0LL << -1LL << -1LL;
    QTest::newRow("capital ẞ folds to ß") << u"STRAẞE"_s << u"straße"_s << anyCase << 0LL << -1LL << 0LL;
    QTest::newRow("dotted İ has no simple folding") << u"İi"_s << u"i"_s << anyCase << 0LL << -1LL << 1LL;
    QTest::newRow("astral letters fold: Deseret") << u"a\U00010428b"_s << u"\U00010400B"_s << anyCase << 0LL << -1LL << 1LL;
    QTest::newRow("a needle's high surrogate alone does not match a pair")
        << u"\U00010428"_s << u"\U00010400"_s << exact << 0LL << -1LL << -1LL;
}

void TestTextSearch::findNext()
{
    QFETCH(QString, haystack);
    QFETCH(QString, needle);
    QFETCH(Qt::CaseSensitivity, cs);
    QFETCH(qsizetype, from);
    QFETCH(qsizetype, to);
    QFETCH(qsizetype, found);

    const TextSearch search(needle, cs);
    QCOMPARE(search.findNext(haystack, from, to), found);
    if (found >= 0)
        QVERIFY(search.matchesAt(haystack, found));
}

void TestTextSearch::findPrevious_data()
{
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<Qt::CaseSensitivity>("cs");
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<qsizetype>("found");

    QTest::newRow("the last match") << u"div DIV div x"_s << u"div"_s << anyCase << 0LL << 13LL << 8LL;
    QTest::newRow("the last match with case") << u"div DIV div x"_s << u"DIV"_s << exact << 0LL << 13LL << 4LL;
    QTest::newRow("a match starting just before to") << u"div div"_s << u"div"_s << anyCase << 0LL << 5LL << 4LL;
    QTest::newRow("a match starting at to is not found") << u"div div"_s << u"div"_s << anyCase << 0LL << 4LL << 0LL;
    QTest::newRow("the match at the very end") << u"xdiv"_s << u"div"_s << anyCase << 0LL << 4LL << 1LL;
    QTest::newRow("to past the end") << u"xdiv"_s << u"div"_s << anyCase << 0LL << 99LL << 1LL;
    QTest::newRow("the match at the very start") << u"div"_s << u"DIV"_s << anyCase << 0LL << 3LL << 0LL;
    QTest::newRow("nothing before from") << u"div div"_s << u"div"_s << anyCase << 1LL << 4LL << -1LL;
    QTest::newRow("the previous match that does not overlap one at 2")
        << u"aaaa"_s << u"aa"_s << exact << 0LL << 1LL << 0LL;
    QTest::newRow("the previous match overlapping one at 2") << u"aaaa"_s << u"aa"_s << exact << 0LL << 2LL << 1LL;
    QTest::newRow("false starts on the way back") << u"div dd d"_s << u"div"_s << anyCase << 0LL << 8LL << 0LL;
    QTest::newRow("ς finds Σ backwards") << u"ΣΑΣ"_s << u"ς"_s << anyCase << 0LL << 3LL << 2LL;
    QTest::newRow("empty needle") << u"abc"_s << u""_s << exact << 0LL << 3LL << -1LL;
    QTest::newRow("empty haystack") << u""_s << u"a"_s << exact << 0LL << 0LL << -1LL;
}

void TestTextSearch::findPrevious()
{
    QFETCH(QString, haystack);
    QFETCH(QString, needle);
    QFETCH(Qt::CaseSensitivity, cs);
    QFETCH(qsizetype, from);
    QFETCH(qsizetype, to);
    QFETCH(qsizetype, found);

    QCOMPARE(TextSearch(needle, cs).findPrevious(haystack, from, to), found);
}

void TestTextSearch::countMatches_data()
{
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<Qt::CaseSensitivity>("cs");
    QTest::addColumn<qsizetype>("matches");

    QTest::newRow("with case") << u"div DIV Div div"_s << u"div"_s << exact << 2LL;
    QTest::newRow("ignoring case") << u"div DIV Div div"_s << u"div"_s << anyCase << 4LL;
    QTest::newRow("matches do not overlap: aaaa") << u"aaaa"_s << u"aa"_s << exact << 2LL;
    QTest::newRow("matches do not overlap: aaa") << u"aaa"_s << u"aa"_s << exact << 1LL;
    QTest::newRow("matches do not overlap: ababa") << u"ababab"_s << u"aba"_s << exact << 1LL;
    QTest::newRow("a match straddles any step's end") << u"xxdivxxdivx"_s << u"DIV"_s << anyCase << 2LL;
    QTest::newRow("every form of sigma") << u"ΣΑΣ σας"_s << u"σ"_s << anyCase << 4LL;
    QTest::newRow("astral characters") << u"\U00010400\U00010428x\U00010400"_s << u"\U00010428"_s << anyCase << 3LL;
    QTest::newRow("none") << u"abc"_s << u"d"_s << anyCase << 0LL;
    QTest::newRow("empty needle") << u"abc"_s << u""_s << anyCase << 0LL;
    QTest::newRow("empty haystack") << u""_s << u"a"_s << anyCase << 0LL;
}

// Counted at once and in steps of every size, as the view counts a huge page.
void TestTextSearch::countMatches()
{
    QFETCH(QString, haystack);
    QFETCH(QString, needle);
    QFETCH(Qt::CaseSensitivity, cs);
    QFETCH(qsizetype, matches);

    const TextSearch search(needle, cs);
    const TextSearch::Count whole = search.countMatches(haystack, 0, haystack.size());
    QCOMPARE(whole.matches, matches);
    QVERIFY(whole.next >= haystack.size());

    for (qsizetype step = 1; step <= haystack.size(); ++step) {
        qsizetype total = 0;
        for (qsizetype from = 0; from < haystack.size();) {
            const qsizetype to = std::min(from + step, haystack.size());
            const TextSearch::Count count = search.countMatches(haystack, from, to);
            QVERIFY(count.next >= to);
            total += count.matches;
            from = count.next;
        }
        QVERIFY2(total == matches, qPrintable(u"in steps of %1: %2"_s.arg(step).arg(total)));
    }
}

// A match is as long as the needle only if no simple folding leaves or enters the
// Basic Multilingual Plane; Qt's folding data must keep to that.
void TestTextSearch::foldingKeepsLength()
{
    for (char32_t c = 0; c <= QChar::LastValidCodePoint; ++c)
        QCOMPARE(QChar::requiresSurrogates(QChar::toCaseFolded(c)), QChar::requiresSurrogates(c));
}

QTEST_APPLESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
