// Measures the Connect path as the user meets it: the real window on the offscreen
// platform, real libcurl, pages from a loopback server. Prints a table.

#include "CurlHandle.h"
#include "FindBar.h"
#include "Form1.h"
#include "MessageBox.h"
#include "QtStatusBar.h"
#include "QtTextBox.h"
#include "SourceView.h"
#include "Tokenizer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

class ReportingMessageBox : public MessageBox
{
public:
    int msgBox(const QString &prompt, int, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        failed = true;
        return MsgBox::ok;
    }
    bool failed = false;
};

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Milliseconds since this process started, from the kernel's own record of it.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    stat.open(QIODevice::ReadOnly);
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (now.tv_sec + now.tv_nsec / 1e9) * 1000.0 - startTicks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Watches the window's thread: how late a 5 ms timer comes is how long the loop stalled.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 gap = m_clock.restart();
            m_longest = std::max(m_longest, gap - 5);
        });
        m_timer.setTimerType(Qt::PreciseTimer);
    }
    void start() { m_longest = 0; m_clock.start(); m_timer.start(5); }
    qint64 stop() { m_timer.stop(); return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// Runs the window's loop until done() holds or timeoutMs have passed, sleeping in
// between: a waiting loop that spun would take a core from the transfer it measures.
bool waitUntil(const std::function<bool()> &done, qint64 timeoutMs = 30000)
{
    QTimer heartbeat; // wakes the loop now and then to look at done() again
    heartbeat.start(20);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct FetchTimes
{
    double complete = -1;
    double painted = -1;
    qint64 stall = -1;
    // From the click until the view has found every line, which goes on after the
    // first paint.
    qint64 stallUntilIndexed = -1;
    qint64 peakKbAtPaint = -1;
};

class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *viewport) : m_viewport(viewport) { viewport->installEventFilter(this); }
    // Counts the first paint once *ready is true (the document has arrived).
    void arm(QElapsedTimer *clock, const bool *ready = nullptr) { m_clock = clock; m_ready = ready; m_painted = -1; }
    double painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_viewport && event->type() == QEvent::Paint && m_clock && m_painted < 0 && (!m_ready || *m_ready)) {
            // Runs once this paint is over.
            QTimer::singleShot(0, this, [this] { m_painted = m_clock->nsecsElapsed() / 1e6; });
        }
        return false;
    }

private:
    QWidget *m_viewport;
    QElapsedTimer *m_clock = nullptr;
    const bool *m_ready = nullptr;
    double m_painted = -1;
};

FetchTimes fetchOnce(Form1 &form, PaintWatch &watch, const QString &url, bool measureStall)
{
    FetchTimes times;
    QElapsedTimer clock;
    bool complete = false;
    QMetaObject::Connection c = QObject::connect(form.sbrStatus(), &QtStatusBar::simpleTextChanged, &form,
                                                 [&](const QString &text) {
                                                     if (text == QLatin1String("complete!")) {
                                                         times.complete = clock.nsecsElapsed() / 1e6;
                                                         complete = true;
                                                     }
                                                 });
    form.txtURL()->setText(url);
    StallMeter stall;
    if (measureStall)
        stall.start();
    watch.arm(&clock, &complete);
    clock.start();
    form.connectButton()->click();
    waitUntil([&watch] { return watch.painted() >= 0; });
    times.painted = watch.painted();
    if (measureStall) {
        times.stall = stall.stop();
        times.peakKbAtPaint = statusKb("VmHWM:");
        StallMeter indexing;
        indexing.start();
        SourceView *view = form.rchtxtHTML();
        waitUntil([view] { return view->indexComplete(); }, 120000);
        times.stallUntilIndexed = std::max(times.stall, indexing.stop());
    }
    QObject::disconnect(c);
    return times;
}

int childMain(int argc, char **argv)
{
    const QByteArray mode = argv[1];
    const CurlGlobal curl;
    QApplication app(argc, argv);
    ReportingMessageBox box;
    Form1::Services services;
    services.messageBox = &box;
    Form1 form(services);
    PaintWatch firstPaint(&form);
    QElapsedTimer sinceShow;
    sinceShow.start();
    firstPaint.arm(&sinceShow);
    form.show();
    waitUntil([&firstPaint] { return firstPaint.painted() >= 0; });
    if (mode == "--startup") {
        std::printf("%.1f\n", msSinceProcessStart());
        return 0;
    }

    PaintWatch watch(form.rchtxtHTML()->viewport());
    const QString url = QString::fromLocal8Bit(argv[2]);
    if (mode == "--fetch") {
        const FetchTimes t = fetchOnce(form, watch, url, true);
        std::printf("%.1f %.1f %lld %lld %lld %lld %lld\n", t.complete, t.painted, t.stall, t.peakKbAtPaint,
                    qlonglong(form.rchtxtHTML()->text().size()), t.stallUntilIndexed, statusKb("VmHWM:"));
        return box.failed ? 1 : 0;
    }
    if (mode == "--action") {
        // What a user does next on the page just shown: jump to its end, count the
        // matches of "div", or wrap its lines.
        const QByteArray action = argv[3];
        fetchOnce(form, watch, url, false);
        SourceView *view = form.rchtxtHTML();
        StallMeter stall;
        stall.start();
        QElapsedTimer clock;
        clock.start();
        std::function<bool()> done;
        if (action == "end") {
            QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QCoreApplication::sendEvent(view, &end);
            done = [view] { return view->coloursReadyOnScreen(); };
        } else if (action == "middle") {
            view->goToLine(view->lineCount() / 2);
            done = [view] { return view->coloursReadyOnScreen(); };
        } else if (action == "count") {
            view->openFind();
            auto *field = view->findBar()->findChild<QLineEdit *>();
            for (const char c : {'d', 'i', 'v'}) {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_D + (c - 'd'), Qt::NoModifier, QString(QLatin1Char(c)));
                QCoreApplication::sendEvent(field, &key);
            }
            done = [view] {
                const QString status = view->findBar()->status();
                return status.contains(QLatin1String(" of ")) && !status.contains(QChar(0x2026));
            };
        } else if (action == "wrap") {
            view->setWrapping(true);
            done = [] { return true; };
        } else if (action == "parse-errors") {
            // Counted by the view's thread, from the page's arrival; timed from its first paint.
            done = [view] { return view->parseErrorCount() >= 0; };
        }
        waitUntil(done);
        // Then the next paint, which shows it.
        watch.arm(&clock);
        view->viewport()->update();
        waitUntil([&watch] { return watch.painted() >= 0; });
        const double shown = watch.painted();
        // The work that goes on in the background afterwards counts for the stalls too.
        waitUntil([&clock, shown] { return clock.elapsed() > qint64(shown) + 1500; }, 60000);
        std::printf("%.1f %lld %lld\n", shown, stall.stop(), statusKb("VmHWM:"));
        return box.failed ? 1 : 0;
    }
    if (mode == "--repeat") {
        qint64 after5 = 0;
        for (int i = 1; i <= 50; ++i) {
            fetchOnce(form, watch, url, false);
            if (i == 5)
                after5 = statusKb("VmRSS:");
        }
        std::printf("%lld %lld\n", after5, statusKb("VmRSS:"));
        return box.failed ? 1 : 0;
    }
    return 2;
}

// ---- The parent: documents, server, runs, table.

struct Stats
{
    double median = 0, low = 0, high = 0;
};

Stats stats(QList<double> values)
{
    if (values.isEmpty())
        return {};
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.first(), values.last()};
}

QString show(const Stats &s, int decimals = 0)
{
    return QStringLiteral("%1 (%2–%3)").arg(s.median, 0, 'f', decimals).arg(s.low, 0, 'f', decimals).arg(s.high, 0, 'f', decimals);
}

QByteArray runChild(const QStringList &args)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    static QTemporaryDir runtimeDir; // private, as Qt wants it
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    child.waitForFinished(120000);
    return child.readAllStandardOutput().trimmed();
}

double curlMs(const QString &url, bool compressed)
{
    QStringList args = {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"), url};
    // A compressed page is unpacked, as Vellumin does.
    if (compressed)
        args.prepend(QStringLiteral("--compressed"));
    QElapsedTimer clock;
    clock.start();
    QProcess::execute(QStringLiteral("curl"), args);
    return clock.nsecsElapsed() / 1e6;
}

enum class Shape { Lines, SingleLine, EmptyLines, BrotliEmptyLines, MinifiedStylesheet, InlineStyle };

// A line of the ordinary pages: two tags with attributes, a reference, some text.
void appendLine(QByteArray &chunk, qint64 i)
{
    chunk += "<div class=\"row\" id=\"r" + QByteArray::number(i) + "\"><a href=\"/item/" + QByteArray::number(i)
            + "\">Item " + QByteArray::number(i) + "</a> &amp; some ordinary text</div>";
}

// How fast the view's scan reads the ordinary page, tokenizing without building
// tokens from checkpoint to checkpoint 64K characters apart, in millions of characters
// a second: the best of a few passes over megabytes of text in memory.
int scanRate(qint64 megabytes)
{
    QByteArray bytes;
    for (qint64 i = 0; bytes.size() < megabytes * 1'000'000; ++i) {
        appendLine(bytes, i);
        bytes += '\n';
    }
    const QString text = QString::fromLatin1(bytes);
    double best = 0;
    quint32 errors = 0;
    for (int pass = 0; pass < 3; ++pass) {
        QElapsedTimer clock;
        clock.start();
        html::Checkpoint state;
        html::ErrorCounter sink;
        for (qsizetype to = 0; to < text.size();) {
            to = std::min(text.size(), to + 65536);
            html::Tokenizer(sink, false).run(text, state, to);
        }
        errors = sink.count;
        best = std::max(best, text.size() / (clock.nsecsElapsed() / 1e3));
    }
    std::printf("%.0f %u\n", best, errors);
    return 0;
}

void writeDocument(const QString &path, qint64 size, Shape shape)
{
    if (shape == Shape::EmptyLines || shape == Shape::BrotliEmptyLines) {
        // Nothing but line breaks: the lines, not the characters, are what cost.
        const QString target = shape == Shape::EmptyLines ? path : path + QStringLiteral(".plain");
        QFile file(target);
        file.open(QIODevice::WriteOnly);
        const QByteArray chunk(1 << 20, '\n');
        for (qint64 written = 0; written < size; written += chunk.size())
            file.write(chunk.constData(), std::min<qint64>(chunk.size(), size - written));
        file.close();
        if (shape == Shape::BrotliEmptyLines) {
            QProcess::execute(QStringLiteral("brotli"), {QStringLiteral("-f"), QStringLiteral("-q"), QStringLiteral("9"),
                                                         QStringLiteral("-o"), path, target});
            QFile::remove(target);
        }
        return;
    }
    if (shape == Shape::MinifiedStylesheet) {
        // One line of rules, as a minifier leaves a stylesheet.
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        QByteArray chunk;
        qint64 written = 0;
        for (qint64 i = 0; written < size; ++i) {
            chunk += ".item-" + QByteArray::number(i) + ">a:hover,#r" + QByteArray::number(i)
                    + "{color:#3a7bd5;margin:0 auto 1.5em;background:url(/img/" + QByteArray::number(i)
                    + ".png) no-repeat;font-family:\"Fira Sans\",sans-serif}/*c*/@media (max-width:600px){.x{width:calc(100% - 2rem)}}";
            if (chunk.size() >= (1 << 20) || written + chunk.size() >= size) {
                const qint64 take = std::min<qint64>(chunk.size(), size - written);
                file.write(chunk.constData(), take);
                written += take;
                chunk.clear();
            }
        }
        return;
    }
    if (shape == Shape::InlineStyle) {
        // A page whose head holds one style element of that size, a rule a few lines.
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        const QByteArray head = "<!DOCTYPE html>\n<html><head><title>styles</title><style>\n";
        const QByteArray tail = "</style></head>\n<body><p style=\"color:red\">x</p></body></html>\n";
        file.write(head);
        QByteArray chunk;
        qint64 written = head.size() + tail.size();
        for (qint64 i = 0; written < size; ++i) {
            chunk += ".item-" + QByteArray::number(i) + " > a:hover, #r" + QByteArray::number(i)
                    + " {\n  color: #3a7bd5; margin: 0 auto 1.5em;\n  background: url(/img/" + QByteArray::number(i)
                    + ".png) no-repeat;\n}\n/* c */ @media (max-width: 600px) { .x { width: calc(100% - 2rem) } }\n";
            if (chunk.size() >= (1 << 20) || written + chunk.size() >= size) {
                const qint64 take = std::min<qint64>(chunk.size(), size - written);
                file.write(chunk.constData(), take);
                written += take;
                chunk.clear();
            }
        }
        file.write(tail);
        return;
    }
    const bool singleLine = shape == Shape::SingleLine;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray chunk;
    chunk.reserve(1 << 20);
    qint64 written = 0;
    for (qint64 i = 0; written < size; ++i) {
        appendLine(chunk, i);
        if (!singleLine)
            chunk += '\n';
        if (chunk.size() >= (1 << 20) || written + chunk.size() >= size) {
            const qint64 take = std::min<qint64>(chunk.size(), size - written);
            file.write(chunk.constData(), take);
            written += take;
            chunk.clear();
        }
    }
}

int parentMain(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = qEnvironmentVariableIntValue("VELLUMIN_BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("VELLUMIN_BENCH_RUNS") : 5;
    QTemporaryDir dir;
    // Pages in a legacy encoding declare it in a <meta>; their text is shorter than
    // their bytes.
    // A page whose name ends in .br is sent brotli-compressed; its size is unpacked.
    struct Document { QString name; QString file; qint64 size; Shape shape; QString legacy; };
    const QList<Document> documents = {
        {QStringLiteral("1 MB, ordinary lines"), QStringLiteral("1mb.html"), 1'000'000, Shape::Lines, {}},
        {QStringLiteral("20 MB, ordinary lines"), QStringLiteral("20mb.html"), 20'000'000, Shape::Lines, {}},
        {QStringLiteral("100 MB, ordinary lines"), QStringLiteral("100mb.html"), 100'000'000, Shape::Lines, {}},
        {QStringLiteral("100 MB, empty lines"), QStringLiteral("100mb-empty.html"), 100'000'000, Shape::EmptyLines, {}},
        {QStringLiteral("255 MiB of line breaks, brotli"), QStringLiteral("255mib-breaks.br"), 255 * 1024 * 1024, Shape::BrotliEmptyLines, {}},
        {QStringLiteral("5 MB, one single line"), QStringLiteral("5mb-line.html"), 5'000'000, Shape::SingleLine, {}},
        {QStringLiteral("20 MB stylesheet, minified"), QStringLiteral("20mb.css"), 20'000'000, Shape::MinifiedStylesheet, {}},
        {QStringLiteral("20 MB style element"), QStringLiteral("20mb-style.html"), 20'000'000, Shape::InlineStyle, {}},
        {QStringLiteral("20 MB, Shift_JIS"), QStringLiteral("20mb-sjis.html"), 20'000'000, Shape::Lines, QStringLiteral("shift_jis")},
        {QStringLiteral("20 MB, gb18030"), QStringLiteral("20mb-gb18030.html"), 20'000'000, Shape::Lines, QStringLiteral("gb18030")},
    };
    // VELLUMIN_BENCH_ONLY picks the pages to run by a part of their names.
    const QString only = qEnvironmentVariable("VELLUMIN_BENCH_ONLY");
    QSet<QString> written; // and so the actions on them
    for (const Document &d : documents) {
        if (!only.isEmpty() && !d.name.contains(only))
            continue;
        written.insert(d.file);
        if (d.legacy.isEmpty()) {
            writeDocument(dir.filePath(d.file), d.size, d.shape);
        } else {
            QProcess::execute(QStringLiteral("python3"), {QStringLiteral(VELLUMIN_BENCH_DIR "/legacy_page.py"), dir.filePath(d.file),
                                                          d.legacy, QString::number(d.size)});
        }
    }

    QProcess server;
    server.start(QStringLiteral("python3"), {QStringLiteral(VELLUMIN_BENCH_DIR "/page_server.py"), dir.path()});
    if (!server.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the page server did not start\n");
        return 1;
    }
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(QString::fromLatin1(server.readLine().trimmed()));

    QTextStream out(stdout);
    out << "Vellumin benchmark: " << runs << " runs each after one not counted, median (min–max); every run a fresh process\n\n";
    out << "| Document | curl (ms) | click to \"complete!\" (ms) | ratio to curl | click to first paint (ms) | longest stall (ms) "
           "| peak memory (MB) | longest stall until indexed (ms) | peak memory once indexed (MB) |\n";
    out << "|---|---|---|---|---|---|---|---|---|\n";
    out.flush();
    QHash<QString, double> completeMedian;
    for (const Document &d : documents) {
        if (!only.isEmpty() && !d.name.contains(only))
            continue;
        const QString url = base + d.file;
        QList<double> curl, complete, painted, stall, peak, stallIndexed, peakIndexed;
        // One run first, not counted: the machine's memory and the server's cache are
        // then as they are for every counted run.
        runChild({QStringLiteral("--fetch"), url});
        for (int i = 0; i < runs; ++i) {
            curl.append(curlMs(url, d.file.endsWith(QLatin1String(".br"))));
            const QList<QByteArray> f = runChild({QStringLiteral("--fetch"), url}).split(' ');
            const qint64 characters = f.value(4).toLongLong();
            if (f.size() < 7 || (d.legacy.isEmpty() ? characters != d.size : characters <= 0)) {
                std::fprintf(stderr, "run failed for %s\n", qPrintable(d.name));
                continue;
            }
            complete.append(f.at(0).toDouble());
            painted.append(f.at(1).toDouble());
            stall.append(f.at(2).toDouble());
            peak.append(f.at(3).toDouble() / 1024.0);
            stallIndexed.append(f.at(5).toDouble());
            peakIndexed.append(f.at(6).toDouble() / 1024.0);
        }
        const Stats c = stats(curl), v = stats(complete);
        completeMedian.insert(d.file, v.median);
        out << "| " << d.name << " | " << show(c, 1) << " | " << show(v) << " | "
            << QString::number(c.median > 0 ? v.median / c.median : 0, 'f', 1) << " | " << show(stats(painted)) << " | "
            << show(stats(stall)) << " | " << show(stats(peak)) << " | " << show(stats(stallIndexed)) << " | "
            << show(stats(peakIndexed)) << " |\n";
        out.flush();
    }
    if (only.isEmpty()) {
        out << "\nPages in a legacy encoding, click to \"complete!\" against the 20 MB UTF-8 page: Shift_JIS "
        << QString::number(completeMedian.value(QStringLiteral("20mb-sjis.html")) / completeMedian.value(QStringLiteral("20mb.html")), 'f', 2)
        << "x, gb18030 "
        << QString::number(completeMedian.value(QStringLiteral("20mb-gb18030.html")) / completeMedian.value(QStringLiteral("20mb.html")), 'f', 2)
        << "x\n";
    }

    // What a user does next, on a page just shown.
    struct Action { QString name; QString file; QString action; };
    const QList<Action> actions = {
        {QStringLiteral("100 MB: Ctrl+End, coloured"), QStringLiteral("100mb.html"), QStringLiteral("end")},
        {QStringLiteral("20 MB stylesheet: Ctrl+End, coloured"), QStringLiteral("20mb.css"), QStringLiteral("end")},
        {QStringLiteral("20 MB style element: Ctrl+End, coloured"), QStringLiteral("20mb-style.html"), QStringLiteral("end")},
        {QStringLiteral("20 MB style element: its middle line, coloured"), QStringLiteral("20mb-style.html"), QStringLiteral("middle")},
        {QStringLiteral("100 MB: count the matches of \"div\""), QStringLiteral("100mb.html"), QStringLiteral("count")},
        {QStringLiteral("100 MB: Alt+Z, wrap"), QStringLiteral("100mb.html"), QStringLiteral("wrap")},
        {QStringLiteral("5 MB single line: Alt+Z, wrap"), QStringLiteral("5mb-line.html"), QStringLiteral("wrap")},
    };
    // The parse errors of the page, counted on the view's thread.
    const QList<Action> parseErrorActions = {
        {QStringLiteral("100 MB: parse errors counted"), QStringLiteral("100mb.html"), QStringLiteral("parse-errors")},
    };
    out << "\n| Page and action | until shown (ms) | longest stall (ms) | peak memory (MB) |\n|---|---|---|---|\n";
    out.flush();
    for (const Action &a : actions + parseErrorActions) {
        if (!written.contains(a.file))
            continue;
        QList<double> shown, stall, peak;
        runChild({QStringLiteral("--action"), base + a.file, a.action});
        for (int i = 0; i < runs; ++i) {
            const QList<QByteArray> f = runChild({QStringLiteral("--action"), base + a.file, a.action}).split(' ');
            if (f.size() < 3 || f.at(0).toDouble() < 0) {
                std::fprintf(stderr, "run failed for %s\n", qPrintable(a.name));
                continue;
            }
            shown.append(f.at(0).toDouble());
            stall.append(f.at(1).toDouble());
            peak.append(f.at(2).toDouble() / 1024.0);
        }
        out << "| " << a.name << " | " << show(stats(shown)) << " | " << show(stats(stall)) << " | " << show(stats(peak)) << " |\n";
        out.flush();
    }

    QList<double> scan;
    for (int i = 0; i < runs; ++i)
        scan.append(runChild({QStringLiteral("--scan-rate"), QStringLiteral("100")}).split(' ').value(0).toDouble());
    out << "\nThe colouring's scan over the 100 MB page's text in memory, without building tokens: " << show(stats(scan))
        << " M characters/s\n";
    if (!only.isEmpty()) {
        server.kill();
        server.waitForFinished();
        return 0;
    }
    QList<double> startup;
    for (int i = 0; i < runs; ++i)
        startup.append(runChild({QStringLiteral("--startup")}).toDouble());
    const QList<QByteArray> repeat = runChild({QStringLiteral("--repeat"), base + QStringLiteral("1mb.html")}).split(' ');
    out << "Start-up, process start to the window's first paint: " << show(stats(startup)) << " ms\n";
    out << "Resident memory after the 5th and the 50th fetch of the 1 MB page: " << repeat.value(0).toLongLong() / 1024
        << " MB, " << repeat.value(1).toLongLong() / 1024 << " MB\n";
    out.flush();

    server.kill();
    server.waitForFinished();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--scan-rate") == 0)
        return scanRate(argc > 2 ? QByteArray(argv[2]).toLongLong() : 100);
    if (argc > 1 && argv[1][0] == '-' && argv[1][1] == '-')
        return childMain(argc, argv);
    return parentMain(argc, argv);
}
