#pragma once

// Small stand-ins for the platform's services, each pre-programmed by the test and
// recording what the handlers did with it.

#include "Clipboard.h"
#include "MessageBox.h"
#include "PageView.h"
#include "PopupMenu.h"
#include "Program.h"
#include "SaveDialog.h"
#include "SessionManager.h"
#include "StatusBar.h"
#include "TextBox.h"
#include "Transfer.h"

#include <QList>
#include <QStringList>

#include <algorithm>

#include <functional>

class FakeStatusBar : public StatusBar
{
public:
    void setSimpleText(const QString &text) override { history.append(text); simple = text; }
    QString simpleText() const override { return simple; }
    bool setPanelText(const QString &key, const QString &text) override
    {
        if (!hasPanel || key != QLatin1String("STATUS"))
            return false;
        panel = text;
        return true;
    }

    void setDetails(const QString &text) override { details = text; }

    QString simple;
    QString details;
    QString panel = QStringLiteral("Inactive");
    bool hasPanel = true;
    QStringList history;
};

class FakeTextBox : public TextBox
{
public:
    explicit FakeTextBox(QString text = {}) : value(std::move(text)) {}
    QString text() const override { return value; }
    void setText(const QString &text) override { value = text; }
    void setHeightTwips(float twips) override { sizes->append(QStringLiteral("address box height %1").arg(twips)); }
    void setWidthTwips(float twips) override { sizes->append(QStringLiteral("address box width %1").arg(twips)); }

    QString value;
    // Size changes, in order; a test can share one list among several controls.
    QStringList ownSizes;
    QStringList *sizes = &ownSizes;
};

class FakePageView : public PageView
{
public:
    void setTextRTF(const QString &text) override { document = text; here = {}; calls.append(QStringLiteral("TextRTF")); }
    void setText(const QString &text) override { document = text; calls.append(QStringLiteral("Text")); }
    QString text() const override { return document; }
    void setContentType(const QByteArray &type) override { contentType = type; }
    void setDocumentAddress(const QString &address) override { documentAddress = address; }
    QString saveFile(const QString &path, int) override { savedTo.append(path); return saveError; }
    void setHeightTwips(float twips) override { sizes->append(QStringLiteral("view height %1").arg(twips)); }
    void setWidthTwips(float twips) override { sizes->append(QStringLiteral("view width %1").arg(twips)); }
    Place place() const override { return here; }
    void restorePlace(qsizetype caret, qsizetype topLine) override
    {
        // Clamped as a real view clamps, to the text and to its lines.
        here.caret = std::clamp<qsizetype>(caret, 0, document.size());
        here.topLine = std::clamp<qsizetype>(topLine, 0, document.count(QLatin1Char('\n')));
        calls.append(QStringLiteral("restorePlace"));
    }

    QString document;
    Place here;
    QString documentAddress;
    QByteArray contentType;
    QStringList calls;
    QStringList ownSizes;
    QStringList *sizes = &ownSizes;
    QStringList savedTo;
    QString saveError;
};

class FakeMessageBox : public MessageBox
{
public:
    int msgBox(const QString &prompt, int style, const QString &title) override
    {
        prompts.append(prompt);
        styles.append(style);
        titles.append(title);
        if (onShow)
            onShow();
        return nextAnswer;
    }

    int nextAnswer = MsgBox::ok;
    QStringList prompts;
    QList<int> styles;
    QStringList titles;
    std::function<void()> onShow;
};

class FakeClipboard : public Clipboard
{
public:
    void clear() override { log.append(QStringLiteral("clear")); }
    void setText(const QString &text) override
    {
        log.append(QStringLiteral("setText"));
        this->text = text;
    }

    QStringList log;
    QString text;
};

class FakeSaveDialog : public SaveDialog
{
public:
    void setDefaultExt(const QString &ext) override { defaultExt = ext; }
    void setInitDir(const QString &dir) override { initDir = dir; }
    void setFilter(const QString &filter) override { this->filter = filter; }
    bool showSave() override
    {
        ++shown;
        if (cancelNext)
            return false;
        name = nextFileName;
        return true;
    }
    QString fileName() const override { return name; }

    QString defaultExt, initDir, filter, name, nextFileName;
    bool cancelNext = false;
    int shown = 0;
};

class FakeProgram : public Program
{
public:
    QString appPath() const override { return path; }
    bool canWriteIn(const QString &folder) const override { return writable.contains(folder); }
    QString documentsPath() const override { return documents; }
    void end() override { ++ended; }

    QString path = QStringLiteral("/opt/vellumin");
    QStringList writable = {path};
    QString documents = QStringLiteral("/home/user/Documents");
    int ended = 0;
};

class FakePopupMenu : public PopupMenu
{
public:
    void popup() override { ++shown; }
    int shown = 0;
};

class FakeSessionManager : public SessionManager
{
public:
    bool allowsInteraction() override { return interaction; }
    void cancel() override { ++cancelled; }
    void release() override { ++released; }

    bool interaction = true;
    int cancelled = 0;
    int released = 0;
};

// Emits its scripted stages, then hands over its scripted result: at once, or, with
// holdResult, when the test calls finish().
class FakeTransfer : public Transfer
{
public:
    Pending<FetchResult> openURL(const QString &address) override
    {
        addresses.append(address);
        for (int state : states)
            emit stateChanged(state);
        if (!holdResult)
            return Pending<FetchResult>::ready(result);
        isBusy = true;
        return m_completion.pending();
    }
    bool busy() const override { return isBusy; }
    void stop() override
    {
        if (!isBusy)
            return;
        isBusy = false;
        FetchResult stopped;
        stopped.stopped = true;
        m_completion.complete(stopped);
    }

    void finish()
    {
        isBusy = false;
        m_completion.complete(result);
    }
    // The transfer goes away without a result, as when its window is destroyed.
    void abandon()
    {
        isBusy = false;
        m_completion.abandon();
    }

    QList<int> states;
    FetchResult result;
    QStringList addresses;
    bool holdResult = false;
    bool isBusy = false;

private:
    Completion<FetchResult> m_completion;
};
