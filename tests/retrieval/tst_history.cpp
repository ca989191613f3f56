#include "History.h"

#include <QtTest>

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void oldestEntriesDropped();
};

namespace {

using Step = History::Step;

QString shown(const std::optional<History::Place> &place)
{
    return place ? QStringLiteral("%1,%2").arg(place->caret).arg(place->topLine) : QStringLiteral("-");
}

// The entries in order, the current one marked with '*'.
QString shown(const History &history)
{
    const QStringList addresses = history.addresses();
    QStringList parts;
    for (qsizetype i = 0; i < addresses.size(); ++i)
        parts.append(i == history.currentIndex() ? u'*' + addresses.at(i) : addresses.at(i));
    return parts.join(u' ');
}

} // namespace

// Each row is a session, one action a line:
//   "go a @5,1"        a new fetch of a completes; the reader was at caret 5, top line 1
//                      of the document it replaces
//   "back @5,1"        Back (or forward, reload) completes at the entry's address
//   "back>a2 @5,1"     ...after a redirect to a2
//   "fail back"        Back (or go x) begins and fails
//   "pending back"     Back begins and is still under way
//   "refused back"     Back cannot begin
// The result: the entries, and the place the last completed step gave back.
void TestHistory::steps_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("restored");

    QTest::newRow("the first fetch makes the first entry") << QStringList{"go a"} << "*a" << "-";
    QTest::newRow("a first fetch that fails leaves no entry") << QStringList{"fail go a"} << "" << "-";
    QTest::newRow("each new fetch adds an entry after the current one")
            << QStringList{"go a", "go b", "go c"} << "a b *c" << "-";
    QTest::newRow("back gives the place the reader left")
            << QStringList{"go a", "go b @7,2", "back @3,1"} << "*a b" << "7,2";
    QTest::newRow("forward gives the place kept when going back")
            << QStringList{"go a", "go b @7,2", "back @3,1", "forward @9,4"} << "a *b" << "3,1";
    QTest::newRow("the place is kept anew each time an entry is left")
            << QStringList{"go a", "go b @7,2", "back @3,1", "forward @9,4", "back @0,0"} << "*a b" << "9,4";
    QTest::newRow("back twice")
            << QStringList{"go a", "go b @1,1", "go c @2,2", "back @3,3", "back @4,4"} << "*a b c" << "1,1";
    QTest::newRow("a new fetch after back drops the entries ahead")
            << QStringList{"go a", "go b", "go c", "back", "back", "go d"} << "a *d" << "-";
    QTest::newRow("reload gives back the place the reader was at")
            << QStringList{"go a", "go b", "reload @5,3"} << "a *b" << "5,3";
    QTest::newRow("a redirect on the way back updates the entry's address")
            << QStringList{"go a", "go b", "back>a2 @0,0"} << "*a2 b" << "0,0";
    QTest::newRow("a new fetch of the current address replaces the entry")
            << QStringList{"go a", "go b", "go b"} << "a *b" << "-";
    QTest::newRow("a replaced entry keeps the entries ahead")
            << QStringList{"go a", "go b", "back", "go a"} << "*a b" << "-";

    // Failures and refusals change nothing.
    QTest::newRow("a failed back keeps the position")
            << QStringList{"go a", "go b @4,4", "fail back"} << "a *b" << "-";
    QTest::newRow("after a failed back, back still gives the place")
            << QStringList{"go a", "go b @4,4", "fail back", "back @1,1"} << "*a b" << "4,4";
    QTest::newRow("a failed new fetch keeps the entries ahead")
            << QStringList{"go a", "go b", "back", "fail go c", "forward"} << "a *b" << "0,0";
    QTest::newRow("a failed reload keeps the entry")
            << QStringList{"go a", "fail reload"} << "*a" << "-";
    QTest::newRow("back at the first entry is refused") << QStringList{"go a", "refused back"} << "*a" << "-";
    QTest::newRow("forward at the last entry is refused") << QStringList{"go a", "go b", "refused forward"} << "a *b" << "-";
    QTest::newRow("nothing to reload before the first fetch") << QStringList{"refused reload", "refused back"} << "" << "-";
    QTest::newRow("while a fetch is under way nothing else begins")
            << QStringList{"go a", "go b", "pending back", "refused back", "refused forward", "refused reload", "refused go"}
            << "a *b" << "-";
    QTest::newRow("once the fetch under way fails, back can begin again")
            << QStringList{"go a", "go b @2,2", "pending back", "abandon", "back"} << "*a b" << "2,2";
}

void TestHistory::steps()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, entries);
    QFETCH(QString, restored);

    static const QHash<QString, Step> steps{
            {QStringLiteral("go"), Step::New},
            {QStringLiteral("back"), Step::Back},
            {QStringLiteral("forward"), Step::Forward},
            {QStringLiteral("reload"), Step::Reload},
    };
    static const QStringList outcomes{QStringLiteral("fail"), QStringLiteral("pending"), QStringLiteral("refused")};

    History history;
    std::optional<History::Place> lastRestored;
    for (const QString &action : std::as_const(actions)) {
        if (action == u"abandon") {
            history.abandon();
            continue;
        }
        QStringList words = action.split(u' ');
        History::Place leaving;
        if (words.last().startsWith(u'@')) {
            const QStringList numbers = words.takeLast().mid(1).split(u',');
            leaving = {numbers.at(0).toLongLong(), numbers.at(1).toLongLong()};
        }
        const QString outcome = outcomes.contains(words.first()) ? words.takeFirst() : QString();
        const QString stepName = words.first().section(u'>', 0, 0);
        const QString redirect = words.first().section(u'>', 1);
        QVERIFY2(steps.contains(stepName), qPrintable(action));
        const Step step = steps.value(stepName);
        const QString target = step == Step::New ? words.value(1) : history.addressFor(step);

        QCOMPARE(history.canTake(step), outcome != u"refused");
        QCOMPARE(history.begin(step), outcome != u"refused");
        if (outcome == u"refused" || outcome == u"pending")
            continue;
        QVERIFY(history.underWay());
        if (outcome == u"fail") {
            history.abandon();
            QVERIFY(!history.underWay());
            continue;
        }
        QVERIFY2(!target.isEmpty(), qPrintable(action));
        lastRestored = history.commit(redirect.isEmpty() ? target : redirect, leaving);
        QVERIFY(!history.underWay());
        QCOMPARE(history.currentAddress(), redirect.isEmpty() ? target : redirect);
    }

    QCOMPARE(shown(history), entries);
    QCOMPARE(shown(lastRestored), restored);
}

void TestHistory::oldestEntriesDropped()
{
    History history;
    for (int i = 0; i < History::maxEntries + 10; ++i) {
        QVERIFY(history.begin(Step::New));
        history.commit(QString::number(i), {});
    }
    QCOMPARE(history.count(), History::maxEntries);
    QCOMPARE(history.currentIndex(), History::maxEntries - 1);
    QCOMPARE(history.addresses().first(), QString::number(10));
    QCOMPARE(history.currentAddress(), QString::number(History::maxEntries + 9));

    // Back still walks every entry kept, down to the oldest.
    int steps = 0;
    while (history.begin(Step::Back)) {
        history.commit(history.addresses().at(history.currentIndex() - 1), {});
        ++steps;
    }
    QCOMPARE(steps, History::maxEntries - 1);
    QCOMPARE(history.currentAddress(), QString::number(10));
}

QTEST_APPLESS_MAIN(TestHistory)
#include "tst_history.moc"
