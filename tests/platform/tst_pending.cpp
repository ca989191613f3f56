#include "Command.h"
#include "Pending.h"

#include <QtTest>

#include <memory>

// The compiler refuses a co_await on a named Pending and a copy of one, so that one
// Pending cannot be awaited twice by mistake.
template<typename P>
concept AwaitableAsLvalue = requires(P &pending) { pending.operator co_await(); };
static_assert(!AwaitableAsLvalue<Pending<int>>);
static_assert(!std::is_copy_constructible_v<Pending<int>>);
static_assert(!std::is_copy_assignable_v<Pending<int>>);

namespace {

// What became of a waiting coroutine.
struct Probe
{
    bool reached = false;   // got to its co_await on the value
    bool resumed = false;   // came back from it
    int value = 0;
    bool destroyed = false; // its frame is gone, whichever way
};

struct Witness
{
    Probe *probe;
    explicit Witness(Probe *p) : probe(p) {}
    Witness(Witness &&other) noexcept : probe(std::exchange(other.probe, nullptr)) {}
    ~Witness()
    {
        if (probe)
            probe->destroyed = true;
    }
};

// Waits at a gate first, so that the test decides when it reaches the value's co_await.
Command waitBehindGate(Pending<int> gate, Pending<int> value, Probe *probe, Witness)
{
    co_await std::move(gate);
    probe->reached = true;
    probe->value = co_await std::move(value);
    probe->resumed = true;
    co_return std::nullopt;
}

void runEvents()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

class TestPending : public QObject
{
    Q_OBJECT

private slots:
    void completion_data();
    void completion();
    void resumesOnlyFromTheEventLoop();
    void awaitedTwiceTheSecondNeverResumes();
    void readyValue();
    void command_data();
    void command();
};

void TestPending::completion_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("resumed");
    QTest::addColumn<int>("value");
    const auto steps = [](const char *text) { return QString::fromLatin1(text).split(u' '); };
    QTest::newRow("completed while waiting: resumed with the value") << steps("gate complete events") << true << 42;
    QTest::newRow("completed before the co_await: taken there") << steps("complete gate") << true << 42;
    QTest::newRow("completed twice: the first value counts") << steps("gate complete complete-again events") << true << 42;
    QTest::newRow("abandoned while waiting: destroyed, never resumed") << steps("gate abandon events") << false << 0;
    QTest::newRow("abandoned before the co_await: destroyed on arrival") << steps("abandon gate") << false << 0;
    QTest::newRow("started afresh while waiting: the old waiter is destroyed") << steps("gate rearm events") << false << 0;
    QTest::newRow("started afresh before the co_await: destroyed on arrival") << steps("rearm gate") << false << 0;
    QTest::newRow("abandoned with the resume queued: destroyed") << steps("gate complete abandon events") << false << 0;
    QTest::newRow("completion gone with the resume queued: destroyed") << steps("gate complete destroy events") << false << 0;
    QTest::newRow("completion gone before the co_await: destroyed on arrival") << steps("destroy gate") << false << 0;
}

void TestPending::completion()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, resumed);
    QFETCH(int, value);
    Completion<int> gate;
    auto completion = std::make_unique<Completion<int>>();
    Probe probe;
    const Command command = waitBehindGate(gate.pending(), completion->pending(), &probe, Witness(&probe));
    QVERIFY(!probe.reached);

    for (const QString &step : steps) {
        if (step == QLatin1String("gate")) {
            gate.complete(0);
            runEvents();
        } else if (step == QLatin1String("complete")) {
            completion->complete(42);
        } else if (step == QLatin1String("complete-again")) {
            completion->complete(7);
        } else if (step == QLatin1String("abandon")) {
            completion->abandon();
        } else if (step == QLatin1String("rearm")) {
            (void)completion->pending();
        } else if (step == QLatin1String("destroy")) {
            completion.reset();
        } else if (step == QLatin1String("events")) {
            runEvents();
        }
    }

    QVERIFY(probe.reached);
    QCOMPARE(probe.resumed, resumed);
    QCOMPARE(probe.value, value);
    // Either way the frame is gone: finished, or destroyed (LeakSanitizer sees a leak).
    QVERIFY(probe.destroyed);
    QCOMPARE(command.done(), resumed);
}

void TestPending::resumesOnlyFromTheEventLoop()
{
    Completion<int> completion;
    Probe probe;
    waitBehindGate(Pending<int>::ready(0), completion.pending(), &probe, Witness(&probe));
    QVERIFY(probe.reached);

    completion.complete(5);
    // The producer finishes its own work before the waiter runs.
    QVERIFY(!probe.resumed);
    QTRY_VERIFY(probe.resumed);
    QCOMPARE(probe.value, 5);
}

void TestPending::awaitedTwiceTheSecondNeverResumes()
{
    Probe first;
    Probe second;
    Completion<int> completion;
    [](Pending<int> pending, Probe *first, Probe *second, Witness) -> Command {
        first->value = co_await std::move(pending);
        first->resumed = true;
        second->reached = true;
        // What the first co_await took is not there a second time.
        second->value = co_await std::move(pending);
        second->resumed = true;
        co_return std::nullopt;
    }(completion.pending(), &first, &second, Witness(&second));
    completion.complete(9);
    QTRY_VERIFY(first.resumed);

    QCOMPARE(first.value, 9);
    QVERIFY(second.reached);
    QVERIFY(!second.resumed);
    QVERIFY(second.destroyed);
}

void TestPending::readyValue()
{
    Probe probe;
    waitBehindGate(Pending<int>::ready(0), Pending<int>::ready(3), &probe, Witness(&probe));
    // A value known at once needs no event loop.
    QVERIFY(probe.resumed);
    QCOMPARE(probe.value, 3);
}

void TestPending::command_data()
{
    QTest::addColumn<bool>("fails");
    QTest::addColumn<bool>("listenFirst"); // onFailure before the handler ends
    QTest::addColumn<bool>("destroyed");   // its transfer goes away instead
    QTest::addColumn<int>("reports");
    QTest::newRow("a failure after listening is reported once") << true << true << false << 1;
    QTest::newRow("a failure before listening is reported when listened to") << true << false << false << 1;
    QTest::newRow("success reports nothing") << false << true << false << 0;
    QTest::newRow("destroyed before it ends: nothing reported") << true << true << true << 0;
}

void TestPending::command()
{
    QFETCH(bool, fails);
    QFETCH(bool, listenFirst);
    QFETCH(bool, destroyed);
    QFETCH(int, reports);
    Completion<int> completion;
    Command command = [](Pending<int> pending, bool fails) -> Command {
        const int number = co_await std::move(pending);
        if (fails)
            co_return RuntimeError{number, QStringLiteral("failed")};
        co_return std::nullopt;
    }(completion.pending(), fails);
    QVERIFY(!command.done());

    int reported = 0;
    int number = 0;
    const auto listen = [&] {
        command.onFailure([&](const RuntimeError &error) {
            ++reported;
            number = error.number;
        });
    };
    if (listenFirst)
        listen();
    if (destroyed)
        completion.abandon();
    else
        completion.complete(12);
    runEvents();
    if (!listenFirst)
        listen();

    QCOMPARE(command.done(), !destroyed);
    QCOMPARE(reported, reports);
    if (reports)
        QCOMPARE(number, 12);
}

QTEST_GUILESS_MAIN(TestPending)
#include "tst_pending.moc"
