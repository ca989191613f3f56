#include "CurlHandle.h"
#include "CurlTransfer.h"
#include "Fakes.h"
#include "Form1.h"
#include "QtPopupMenu.h"
#include "QtTextBox.h"
#include "SourceView.h"
#include "TestHttpServer.h"

#include <QFile>
#include <QToolButton>
#include <QtTest>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define VELLUMIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLUMIN_ASAN 1
#endif
#endif
#ifdef VELLUMIN_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace {

// The memory the program holds. Under AddressSanitizer, the heap's live bytes as its
// allocator counts them: freed memory waits in quarantine there, and would look like
// growth to the resident size. Elsewhere the resident size, which counts all of it,
// the heap, thread stacks and what Qt and libcurl hold.
qint64 memoryInUse()
{
#ifdef VELLUMIN_ASAN
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
#endif
}

} // namespace

// Fetching a page and clearing it, over and over, through the real window and transfer.
class TestMemory : public QObject
{
    Q_OBJECT

    CurlGlobal m_curl;

private slots:
    void fetchAndClearHoldNothing();
};

void TestMemory::fetchAndClearHoldNothing()
{
    QByteArray page;
    for (int i = 0; page.size() < 1024 * 1024; ++i)
        page += "<p>Line " + QByteArray::number(i) + " of a page fetched a hundred times, ünïcödé.</p>\n";
    const QString text = QString::fromUtf8(page);
    TestHttpServer server;
    server.route("/page", TestHttpServer::ok(page, "text/html; charset=utf-8"));

    FakeMessageBox messageBox;
    FakeProgram program;
    FakeClipboard clipboard;
    FakeSaveDialog saveDialog;
    Form1::Services services;
    services.messageBox = &messageBox;
    services.program = &program;
    services.clipboard = &clipboard;
    services.saveDialog = &saveDialog;
    Form1 form(services);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // The first fetches fill what is kept for reuse (connection caches, thread
    // stacks, the allocator's pools); growth is counted from the tenth on.
    qint64 afterTen = 0;
    for (int fetch = 1; fetch <= 100; ++fetch) {
        form.txtURL()->setText(server.base() + QStringLiteral("/page"));
        QTest::mouseClick(form.connectButton(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&form] { return !form.Inet1()->busy(); }, 30000));
        QVERIFY2(form.rchtxtHTML()->text() == text, qPrintable(QStringLiteral("fetch %1").arg(fetch)));
        form.Popup()->clearAction()->trigger();
        QVERIFY(form.rchtxtHTML()->text().isEmpty());
        if (fetch == 10)
            afterTen = memoryInUse();
    }
    QVERIFY(messageBox.prompts.isEmpty());
    QCOMPARE(server.requests.size(), 100);

    // Holding on to a page, as bytes (1 MB) or text (2 MB), on each of the last 90
    // fetches would add 90 MB or more; 8 MB leaves room for what the allocator keeps
    // and still catches anything of 90 kB a fetch.
    const qint64 growth = memoryInUse() - afterTen;
    qInfo("memory from fetch 10 to fetch 100: %+lld bytes", growth);
    QVERIFY2(afterTen > 0, "no measure of the memory in use");
    QVERIFY2(growth < 8 * 1024 * 1024, qPrintable(QStringLiteral("grew by %1 bytes").arg(growth)));
}

QTEST_MAIN(TestMemory)
#include "tst_memory.moc"
