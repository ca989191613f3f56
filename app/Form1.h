#pragma once

#include "RuntimeError.h"
#include "TransferSettings.h"

#include <QWidget>

#include <memory>

class Clipboard;
class CurlTransfer;
class History;
class ImageList;
class MessageBox;
class Program;
class QSessionManager;
class QToolButton;
class QtPageView;
class QtPopupMenu;
class QtStatusBar;
class QtTextBox;
class QtToolbar;
class SaveDialog;
class SourceView;

// The program's one window. It owns the controls and hands each of their events to
// its handler.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // Services left null are the real ones; tests hand in their own.
    struct Services
    {
        MessageBox *messageBox = nullptr;
        Program *program = nullptr;
        Clipboard *clipboard = nullptr;
        SaveDialog *saveDialog = nullptr;
        TransferSettings transfer;
    };

    Form1();
    explicit Form1(Services services);
    ~Form1() override;

    SourceView *rchtxtHTML() const { return m_rchtxtHTML; }
    // The view as the handlers see it.
    QtPageView *pageView() const { return m_pageView; }
    QtTextBox *txtURL() const { return m_txtURL; }
    QtStatusBar *sbrStatus() const { return m_sbrStatus; }
    QtToolbar *Toolbar1() const { return m_toolbar1; }
    QToolButton *connectButton() const { return m_connectButton; }
    QtPopupMenu *Popup() const { return m_popup; }
    CurlTransfer *Inet1() const { return m_inet1; }
    const History &history() const { return *m_history; }

    // The window's size in twips, frame and title bar included.
    float outerWidthTwips() const;
    float outerHeightTwips() const;

    void onSessionEnding(QSessionManager &manager);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void connectEvents();
    void alignBars();
    void runResize();
    void report(const Failure &failure);
    int px(float twips) const;

    std::unique_ptr<MessageBox> m_ownMessageBox;
    std::unique_ptr<Program> m_ownProgram;
    std::unique_ptr<Clipboard> m_ownClipboard;
    std::unique_ptr<SaveDialog> m_ownSaveDialog;
    std::unique_ptr<ImageList> m_imageList1;
    MessageBox *m_messageBox;
    Program *m_program;
    Clipboard *m_clipboard;
    SaveDialog *m_commonDialog1;
    // The session's documents, for Back, Forward and Reload; never stored.
    std::unique_ptr<History> m_history;

    CurlTransfer *m_inet1 = nullptr;
    SourceView *m_rchtxtHTML = nullptr;
    QtPageView *m_pageView = nullptr;
    QtToolbar *m_toolbar1 = nullptr;
    QToolButton *m_connectButton = nullptr;
    QtTextBox *m_txtURL = nullptr;
    QtStatusBar *m_sbrStatus = nullptr;
    QtPopupMenu *m_popup = nullptr;
};
