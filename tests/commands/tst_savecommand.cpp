#include "Fakes.h"
#include "QtProgram.h"
#include "QtSaveDialog.h"
#include "QtPageView.h"
#include "SaveCommand.h"
#include "SourceView.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The view as Save sees it.
struct SavedPage
{
    SourceView widget;
    QtPageView view{&widget};
};

// Closes any dialog still open after a while: a dialog the test fails to answer ends
// the test with a failure instead of hanging it.
class DialogDeadline
{
public:
    explicit DialogDeadline(int ms = 20000)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            m_expired = true;
            while (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        m_timer.start(ms);
    }
    bool expired() const { return m_expired; }

private:
    QTimer m_timer;
    bool m_expired = false;
};

} // namespace

class TestSaveCommand : public QObject
{
    Q_OBJECT

private slots:
    void dialogOpensWhereTheUserCanSave_data();
    void dialogOpensWhereTheUserCanSave();
    void foldersOnThisSystem();
    void saveSetsDialogBeforeEveryShowing();
    void save_data();
    void save();
    void cancelledSaveWritesNothing();
    void failedWriteKeepsExistingFile();
    void realDialogAddsExtension();
};

void TestSaveCommand::dialogOpensWhereTheUserCanSave_data()
{
    QTest::addColumn<QStringList>("writable");
    QTest::addColumn<QString>("folder");
    QTest::newRow("a build folder or a portable copy: the program's own")
        << QStringList{QStringLiteral("/opt/vellumin")} << QStringLiteral("/opt/vellumin");
    QTest::newRow("installed in a system folder: the documents folder")
        << QStringList{QStringLiteral("/home/user/Documents")} << QStringLiteral("/home/user/Documents");
}

void TestSaveCommand::dialogOpensWhereTheUserCanSave()
{
    QFETCH(QStringList, writable);
    FakeProgram program;
    program.writable = writable;
    FakeSaveDialog dialog;
    dialog.cancelNext = true;
    FakePageView view;
    FakeMessageBox box;
    Save_Click(dialog, program, view, box);
    QTEST(dialog.initDir, "folder");
}

void TestSaveCommand::foldersOnThisSystem()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    // No user-dirs file: the documents folder is ~/Documents, if there is one.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    QtProgram program;
    const QString withoutDocuments = program.documentsPath();
    QDir(home.path()).mkdir(QStringLiteral("Documents"));
    const QString withDocuments = program.documentsPath();
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    if (oldConfig.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");

    QCOMPARE(QDir(withoutDocuments), QDir(home.path()));
    QCOMPARE(QDir(withDocuments), QDir(home.filePath(QStringLiteral("Documents"))));

    const QString readOnly = home.filePath(QStringLiteral("read-only"));
    QDir(home.path()).mkdir(QStringLiteral("read-only"));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    // Root may write anywhere; anyone else may not write here.
    QCOMPARE(program.canWriteIn(readOnly), ::geteuid() == 0);
    QVERIFY(program.canWriteIn(home.path()));
    QVERIFY(!program.canWriteIn(home.filePath(QStringLiteral("missing"))));
    writeFile(home.filePath(QStringLiteral("a file")), "x");
    QVERIFY(!program.canWriteIn(home.filePath(QStringLiteral("a file"))));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestSaveCommand::saveSetsDialogBeforeEveryShowing()
{
    FakeSaveDialog dialog;
    FakeProgram program;
    FakePageView view;
    FakeMessageBox box;
    dialog.cancelNext = true;
    Save_Click(dialog, program, view, box);
    const QStringList first{dialog.defaultExt, dialog.initDir, dialog.filter};
    // Opens where the user may save.
    QCOMPARE(dialog.initDir, program.path);
    // Whatever the dialog was left with, the next showing is set up as the first was.
    dialog.setDefaultExt(QStringLiteral("html"));
    dialog.setInitDir(QStringLiteral("/elsewhere"));
    dialog.setFilter(QStringLiteral("(*.*)|*.*"));
    dialog.cancelNext = true;
    Save_Click(dialog, program, view, box);
    QCOMPARE((QStringList{dialog.defaultExt, dialog.initDir, dialog.filter}), first);
    QCOMPARE(dialog.shown, 2);
    QVERIFY(view.savedTo.isEmpty());
    QVERIFY(box.prompts.isEmpty());
}

void TestSaveCommand::save_data()
{
    QTest::addColumn<QString>("name");       // relative to a fresh folder
    QTest::addColumn<QByteArray>("existing"); // content already there, if any
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("fails");
    QTest::newRow("fresh path") << QStringLiteral("page.txt") << QByteArray() << QStringLiteral("<html>\r\n</html>") << false;
    QTest::newRow("replaces, never appends") << QStringLiteral("page.txt") << QByteArray("older and longer content") << QStringLiteral("new") << false;
    QTest::newRow("empty view gives an empty file") << QStringLiteral("empty.txt") << QByteArray() << QString() << false;
    QTest::newRow("Japanese and emoji as UTF-8")
        << QStringLiteral("utf8.txt") << QByteArray() << QStringLiteral("日本語のページ 😀\u00A0\u2028") << false;
    QTest::newRow("folder that does not exist") << QStringLiteral("no/such/folder/page.txt") << QByteArray() << QStringLiteral("x") << true;
    QTest::newRow("parent is a regular file") << QStringLiteral("afile/page.txt") << QByteArray() << QStringLiteral("x") << true;
    QTest::newRow("empty file name") << QString() << QByteArray() << QStringLiteral("x") << true;
}

void TestSaveCommand::save()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, existing);
    QFETCH(QString, document);
    QFETCH(bool, fails);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("afile")), "a file, not a folder"));
    const QString path = name.isEmpty() ? QString() : dir.filePath(name);
    if (!existing.isEmpty())
        QVERIFY(writeFile(path, existing));

    FakeSaveDialog dialog;
    dialog.nextFileName = path;
    FakeProgram program;
    FakeMessageBox box;
    SavedPage page;
    QtPageView &view = page.view;
    view.setTextRTF(document);

    Save_Click(dialog, program, view, box);

    if (fails) {
        QCOMPARE(box.prompts.size(), 1);
        QCOMPARE(box.titles.first(), QStringLiteral("Vellumin"));
        if (!path.isEmpty()) {
            QVERIFY2(box.prompts.first().contains(QDir::toNativeSeparators(path)), qPrintable(box.prompts.first()));
            QVERIFY(!QFileInfo::exists(path));
        }
    } else {
        QVERIFY2(box.prompts.isEmpty(), qPrintable(box.prompts.value(0)));
        QCOMPARE(readAll(path), document.toUtf8());
        QCOMPARE(QString::fromUtf8(readAll(path)), document);
    }
    // The view keeps its text either way.
    QCOMPARE(view.text(), document);
}

void TestSaveCommand::cancelledSaveWritesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.txt"));
    FakeSaveDialog dialog;
    dialog.nextFileName = path;
    FakeProgram program;
    FakeMessageBox box;
    SavedPage page;
    QtPageView &view = page.view;
    view.setText(QStringLiteral("first"));
    Save_Click(dialog, program, view, box);
    QCOMPARE(readAll(path), QByteArray("first"));

    // The dialog still holds the earlier name; a cancel must not write to it.
    view.setText(QStringLiteral("second"));
    dialog.cancelNext = true;
    Save_Click(dialog, program, view, box);
    QCOMPARE(readAll(path), QByteArray("first"));
    QVERIFY(box.prompts.isEmpty());
}

void TestSaveCommand::failedWriteKeepsExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.txt"));
    QVERIFY(writeFile(path, "the user's earlier save"));

    // A write that runs out of room halfway: the file size limit stands in for a full
    // disk, and works for root too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);

    FakeSaveDialog dialog;
    dialog.nextFileName = path;
    FakeProgram program;
    FakeMessageBox box;
    SavedPage page;
    QtPageView &view = page.view;
    view.setText(QString(100000, QLatin1Char('x')));
    Save_Click(dialog, program, view, box);
    setrlimit(RLIMIT_FSIZE, &old);

    QCOMPARE(box.prompts.size(), 1);
    QCOMPARE(readAll(path), QByteArray("the user's earlier save"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
}

void TestSaveCommand::realDialogAddsExtension()
{
    const DialogDeadline deadline;
    QTemporaryDir dir;
    QtSaveDialog dialog(nullptr);
    FakeProgram program;
    program.path = dir.path();
    program.writable = {dir.path()};
    FakeMessageBox box;
    SavedPage page;
    QtPageView &view = page.view;
    view.setText(QStringLiteral("saved through the dialog"));

    QStringList filters;
    QString directory;
    bool sawDialog = false;
    QTimer::singleShot(0, this, [&] {
        auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        sawDialog = fileDialog != nullptr;
        if (!fileDialog)
            return; // the deadline closes whatever is open; the check below fails
        filters = fileDialog->nameFilters();
        directory = fileDialog->directory().absolutePath();
        fileDialog->selectFile(QStringLiteral("bare"));
        QMetaObject::invokeMethod(fileDialog, "accept");
    });
    Save_Click(dialog, program, view, box);
    QVERIFY(sawDialog);
    QVERIFY(!deadline.expired());

    QCOMPARE(filters, QStringList{QStringLiteral("(*.txt)")});
    QCOMPARE(directory, QDir(dir.path()).absolutePath());
    QCOMPARE(dialog.fileName(), QDir(dir.path()).absoluteFilePath(QStringLiteral("bare.txt")));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("bare.txt"))), QByteArray("saved through the dialog"));

    // The next showing opens in the program's folder with the last name filled in.
    QString offered;
    sawDialog = false;
    QTimer::singleShot(0, this, [&] {
        auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        sawDialog = fileDialog != nullptr;
        if (!fileDialog)
            return;
        offered = fileDialog->selectedFiles().value(0);
        fileDialog->reject();
    });
    Save_Click(dialog, program, view, box);
    QVERIFY(sawDialog);
    QVERIFY(!deadline.expired());
    QCOMPARE(QFileInfo(offered).fileName(), QStringLiteral("bare.txt"));

    // Choosing a file that exists asks first; No writes nothing.
    view.setText(QStringLiteral("would replace"));
    bool asked = false;
    sawDialog = false;
    QTimer::singleShot(0, this, [&] {
        auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        sawDialog = fileDialog != nullptr;
        if (!fileDialog)
            return;
        QTimer::singleShot(0, this, [&, fileDialog] {
            auto *question = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            asked = question != nullptr;
            if (question)
                question->button(QMessageBox::No)->click();
            fileDialog->reject();
        });
        QMetaObject::invokeMethod(fileDialog, "accept");
    });
    Save_Click(dialog, program, view, box);
    QVERIFY(sawDialog);
    QVERIFY(!deadline.expired());
    QVERIFY(asked);
    QCOMPARE(readAll(dir.filePath(QStringLiteral("bare.txt"))), QByteArray("saved through the dialog"));
    QVERIFY(box.prompts.isEmpty());
}

QTEST_MAIN(TestSaveCommand)
#include "tst_savecommand.moc"
