#include "Form1.h"

#include "CloseConfirmation.h"
#include "Connect.h"
#include "ContextMenu.h"
#include "CurlTransfer.h"
#include "DocumentDetails.h"
#include "ErrorReport.h"
#include "FormLoad.h"
#include "History.h"
#include "ImageList.h"
#include "ProgressTexts.h"
#include "QtClipboard.h"
#include "QtMessageBox.h"
#include "QtPageView.h"
#include "QtPopupMenu.h"
#include "QtProgram.h"
#include "QtSaveDialog.h"
#include "QtSessionManager.h"
#include "QtStatusBar.h"
#include "QtTextBox.h"
#include "QtToolbar.h"
#include "ResizeRule.h"
#include "SaveCommand.h"
#include "SourceView.h"
#include "Twips.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCloseEvent>
#include <QImage>
#include <QSessionManager>
#include <QShortcut>
#include <QToolButton>

namespace {

// Any public site will do; it is a bare host name, as typed in the box.
const QString defaultHost = QStringLiteral("www.example.com");

// To assistive technology the window is a frame, as a main window is, not a filler.
QAccessibleInterface *windowAccessible(const QString &, QObject *object)
{
    if (auto *form = qobject_cast<Form1 *>(object))
        return new QAccessibleWidget(form, QAccessible::Window);
    return nullptr;
}

} // namespace

Form1::Form1()
    : Form1(Services())
{
}

Form1::Form1(Services services)
    : m_ownMessageBox(services.messageBox ? nullptr : std::make_unique<QtMessageBox>())
    , m_ownProgram(services.program ? nullptr : std::make_unique<QtProgram>())
    , m_ownClipboard(services.clipboard ? nullptr : std::make_unique<QtClipboard>())
    , m_ownSaveDialog(services.saveDialog ? nullptr : std::make_unique<QtSaveDialog>(this))
    , m_messageBox(services.messageBox ? services.messageBox : m_ownMessageBox.get())
    , m_program(services.program ? services.program : m_ownProgram.get())
    , m_clipboard(services.clipboard ? services.clipboard : m_ownClipboard.get())
    , m_commonDialog1(services.saveDialog ? services.saveDialog : m_ownSaveDialog.get())
    , m_history(std::make_unique<History>())
{
    setObjectName(QStringLiteral("Form1"));
    static const bool accessible = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setWindowTitle(QStringLiteral("Vellumin by Orvak"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/pictures/vellumin-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/pictures/vellumin-32.png"), QSize(32, 32));
    setWindowIcon(icon);
    resize(px(3375), px(2415));

    m_inet1 = new CurlTransfer(services.transfer, this);
    m_inet1->setObjectName(QStringLiteral("Inet1"));
    createControls();
    connectEvents();

    report(Form_Load(*m_sbrStatus));
}

Form1::~Form1()
{
    // The transfer goes first: a Connect waiting for it is ended there, before the
    // controls it would have written to.
    delete m_inet1;
    m_inet1 = nullptr;
}

int Form1::px(float twips) const
{
    return Twips::toPixels(twips, logicalDpiY());
}

void Form1::createControls()
{
    m_imageList1 = std::make_unique<ImageList>(QSize(16, 16), QColor(192, 192, 192));
    m_imageList1->add(QImage(QStringLiteral(":/pictures/connect.png")));

    m_rchtxtHTML = new SourceView(this);
    m_rchtxtHTML->setObjectName(QStringLiteral("rchtxtHTML"));
    m_rchtxtHTML->setGeometry(0, px(360), px(3375), px(1815));
    m_pageView = new QtPageView(m_rchtxtHTML);

    m_toolbar1 = new QtToolbar(this);
    m_toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar1->setGeometry(0, 0, px(3375), px(330));
    m_connectButton = m_toolbar1->addButton({QStringLiteral("Connect"), QStringLiteral("&Connect")},
                                            m_imageList1->pixmap(0), QSize(px(1095), px(330)));
    m_connectButton->setObjectName(QStringLiteral("Connect"));

    m_txtURL = new QtTextBox(m_toolbar1);
    m_txtURL->setObjectName(QStringLiteral("txtURL"));
    m_txtURL->setGeometry(px(1110), px(50), px(2235), px(285));
    m_txtURL->setText(defaultHost);

    m_sbrStatus = new QtStatusBar(this);
    m_sbrStatus->setObjectName(QStringLiteral("sbrStatus"));
    m_sbrStatus->setGeometry(0, px(2160), px(3375), px(255));
    m_sbrStatus->setSimpleText(QStringLiteral("inactive"));
    m_sbrStatus->addPanel(QStringLiteral("STATUS"), QStringLiteral("Inactive"));
    // Where the view reaches into the status bar, the bar is drawn on top.
    m_sbrStatus->raise();

    m_popup = new QtPopupMenu(this);

    // Tab order: the view, then the address box; the bars take no focus.
    setTabOrder(m_rchtxtHTML, m_txtURL);
    m_rchtxtHTML->setFocus();
}

void Form1::connectEvents()
{
    connect(m_toolbar1, &QtToolbar::buttonClick, this, [this](const ToolbarButton &button) {
        Toolbar1_ButtonClick(button, *m_sbrStatus, *m_txtURL, *m_inet1, *m_pageView, *m_history)
            .onFailure([this](const RuntimeError &error) { report(error); });
    });
    connect(m_inet1, &Transfer::stateChanged, this, [this](int state) { Inet1_StateChanged(state, *m_sbrStatus); });
    connect(m_inet1, &Transfer::busyChanged, m_sbrStatus, [this](bool busy) {
        if (busy)
            m_sbrStatus->beginTransfer();
        else
            m_sbrStatus->endTransfer();
    });
    connect(m_inet1, &Transfer::progressed, m_sbrStatus, &QtStatusBar::showProgress);
    // Escape anywhere in the window stops a running transfer; the view takes Escape
    // first while its find or go-to field is open.
    auto *stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, m_inet1, &Transfer::stop);
    // Back, Forward and Reload: the browsers' keys, anywhere in the window.
    const auto step = [this](History::Step to) {
        connectStep(to, *m_sbrStatus, *m_txtURL, *m_inet1, *m_pageView, *m_history)
            .onFailure([this](const RuntimeError &error) { report(error); });
    };
    const auto stepKey = [this, step](const QKeySequence &sequence, History::Step to) {
        auto *shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, [step, to] { step(to); });
    };
    stepKey(QKeySequence(Qt::ALT | Qt::Key_Left), History::Step::Back);
    stepKey(QKeySequence(Qt::ALT | Qt::Key_Right), History::Step::Forward);
    stepKey(QKeySequence(Qt::Key_F5), History::Step::Reload);
    stepKey(QKeySequence(Qt::CTRL | Qt::Key_R), History::Step::Reload);
    // The mouse's back and forward buttons, over the view.
    connect(m_rchtxtHTML, &SourceView::pressed, this, [step](Qt::MouseButton button) {
        if (button == Qt::BackButton)
            step(History::Step::Back);
        else if (button == Qt::ForwardButton)
            step(History::Step::Forward);
    });
    // A link followed: its address goes into the box and is fetched as the button
    // fetches it; while a transfer runs, the box keeps what it had.
    connect(m_rchtxtHTML, &SourceView::linkActivated, this, [this, step](const QString &address) {
        if (m_inet1->busy())
            return;
        m_txtURL->setText(address);
        step(History::Step::New);
    });
    connect(m_pageView, &QtPageView::mouseDown, this, [this](int button, int shift, float x, float y) {
        rchtxtHTML_MouseDown(button, shift, x, y, *m_popup);
    });
    // The count comes once the view's thread has read the whole page, after the details.
    connect(m_pageView, &QtPageView::parseErrorsCounted, m_sbrStatus,
            [this](qint64 count) { m_sbrStatus->setDetails(withParseErrorCount(m_sbrStatus->toolTip(), count)); });
    connect(m_popup->copyAction(), &QAction::triggered, this, [this] { Copy_Click(*m_clipboard, *m_pageView); });
    connect(m_popup->saveAction(), &QAction::triggered, this,
            [this] { Save_Click(*m_commonDialog1, *m_program, *m_pageView, *m_messageBox); });
    connect(m_popup->clearAction(), &QAction::triggered, this, [this] { Clear_Click(*m_pageView, *m_sbrStatus); });
}

void Form1::report(const Failure &failure)
{
    reportError(*m_messageBox, failure);
}

float Form1::outerWidthTwips() const
{
    return Twips::fromPixels(width(), logicalDpiX()) + frameWidthTwips;
}

float Form1::outerHeightTwips() const
{
    return Twips::fromPixels(height(), logicalDpiY()) + frameHeightTwips;
}

void Form1::alignBars()
{
    m_toolbar1->setGeometry(0, 0, width(), px(330));
    m_sbrStatus->setGeometry(0, height() - px(255), width(), px(255));
}

void Form1::runResize()
{
    Form_Resize(isMinimized(), outerWidthTwips(), outerHeightTwips(), *m_pageView, *m_txtURL);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (isMinimized())
        return;
    alignBars();
    runResize();
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        runResize();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (Form_Unload(*m_messageBox, *m_program))
        event->ignore();
    else
        event->accept();
}

void Form1::onSessionEnding(QSessionManager &manager)
{
    // The program keeps no state worth restoring at the next login.
    manager.setRestartHint(QSessionManager::RestartNever);
    QtSessionManager session(manager);
    sessionEnding(session, *m_messageBox, *m_program);
}
