#include "Fakes.h"
#include "CloseConfirmation.h"
#include "FormLoad.h"
#include "QtPageView.h"
#include "QtTextBox.h"
#include "ResizeRule.h"
#include "SourceView.h"
#include "Twips.h"

#include <QtTest>

class TestWindowEvents : public QObject
{
    Q_OBJECT

private slots:
    void loadSetsPanel();
    void loadWithoutPanelIsAnError();
    void layoutRule_data();
    void layoutRule();
    void resizeSizesTheControls_data();
    void resizeSizesTheControls();
    void minimisedChangesNothing();
    void unload_data();
    void unload();
    void sessionEnding_data();
    void sessionEnding();
};

void TestWindowEvents::loadSetsPanel()
{
    FakeStatusBar status;
    status.simple = QStringLiteral("inactive");
    QVERIFY(!Form_Load(status));
    QCOMPARE(status.panel, QStringLiteral("inactive"));
    QCOMPARE(status.simple, QStringLiteral("inactive"));
}

void TestWindowEvents::loadWithoutPanelIsAnError()
{
    FakeStatusBar status;
    status.hasPanel = false;
    const Failure failure = Form_Load(status);
    QVERIFY(failure);
    QCOMPARE(failure->number, ErrorNumber::PanelNotFound);
}

void TestWindowEvents::layoutRule_data()
{
    QTest::addColumn<float>("w");
    QTest::addColumn<float>("h");
    QTest::addColumn<float>("viewHeight");
    QTest::addColumn<float>("viewWidth");
    QTest::addColumn<float>("urlHeight");
    QTest::addColumn<float>("urlWidth");
    QTest::newRow("reference size") << 3495.0f << 2820.0f << 1810.0f << 3375.0f << 1070.0f << 2255.0f;
    QTest::newRow("maximised 1920x1080 px") << 28920.0f << 16605.0f << 15595.0f << 28800.0f << 14855.0f << 27680.0f;
    QTest::newRow("exactly at the offsets") << 1240.0f << 1750.0f << 740.0f << 1120.0f << 0.0f << 0.0f;
    QTest::newRow("below the address box's offsets") << 1000.0f << 1500.0f << 490.0f << 880.0f << 0.0f << 0.0f;
    QTest::newRow("below every offset") << 100.0f << 900.0f << 0.0f << 0.0f << 0.0f << 0.0f;
    QTest::newRow("zero") << 0.0f << 0.0f << 0.0f << 0.0f << 0.0f << 0.0f;
}

void TestWindowEvents::layoutRule()
{
    QFETCH(float, w);
    QFETCH(float, h);
    const LayoutSizes sizes = ::layoutRule(w, h);
    QTEST(sizes.viewHeight, "viewHeight");
    QTEST(sizes.viewWidth, "viewWidth");
    QTEST(sizes.urlHeight, "urlHeight");
    QTEST(sizes.urlWidth, "urlWidth");
}

void TestWindowEvents::resizeSizesTheControls_data()
{
    QTest::addColumn<float>("w");
    QTest::addColumn<float>("h");
    QTest::newRow("reference size") << 3495.0f << 2820.0f;
    QTest::newRow("maximised 1920x1080 px") << 28920.0f << 16605.0f;
    QTest::newRow("below every offset") << 100.0f << 900.0f;
}

// The real controls end at the sizes the rule gives, in pixels at the screen's dpi.
void TestWindowEvents::resizeSizesTheControls()
{
    QFETCH(float, w);
    QFETCH(float, h);
    QWidget window;
    auto *widget = new SourceView(&window);
    QtPageView view(widget);
    auto *box = new QtTextBox(&window);
    Form_Resize(false, w, h, view, *box);
    const LayoutSizes sizes = ::layoutRule(w, h);
    QCOMPARE(widget->size(), QSize(Twips::toPixels(sizes.viewWidth, widget->logicalDpiX()),
                                   Twips::toPixels(sizes.viewHeight, widget->logicalDpiY())));
    QCOMPARE(box->size(), QSize(Twips::toPixels(sizes.urlWidth, box->logicalDpiX()),
                                Twips::toPixels(sizes.urlHeight, box->logicalDpiY())));
}

void TestWindowEvents::minimisedChangesNothing()
{
    FakePageView view;
    FakeTextBox box;
    Form_Resize(true, 3495.0f, 2820.0f, view, box);
    QVERIFY(view.ownSizes.isEmpty());
    QVERIFY(box.ownSizes.isEmpty());
}

void TestWindowEvents::unload_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("ended");
    QTest::newRow("yes ends the program") << MsgBox::yes << false << 1;
    QTest::newRow("no keeps the window") << MsgBox::no << true << 0;
}

void TestWindowEvents::unload()
{
    QFETCH(int, answer);
    FakeMessageBox box;
    box.nextAnswer = answer;
    FakeProgram program;

    QTEST(Form_Unload(box, program), "cancel");
    QTEST(program.ended, "ended");
    QCOMPARE(box.prompts, QStringList{QStringLiteral("Are you sure you want to exit?")});
    // A question with Yes and No.
    QCOMPARE(box.styles.size(), 1);
    QCOMPARE(box.styles.first() & MsgBox::buttonsMask, MsgBox::yesNo);
    QCOMPARE(box.styles.first() & MsgBox::iconMask, MsgBox::question);
    QCOMPARE(box.titles, QStringList{QStringLiteral("Vellumin")});
}

void TestWindowEvents::sessionEnding_data()
{
    QTest::addColumn<bool>("interaction");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("cancelled");
    QTest::addColumn<int>("ended");
    QTest::newRow("no: the session end is cancelled") << true << MsgBox::no << 1 << 1 << 0;
    QTest::newRow("yes: the program ends") << true << MsgBox::yes << 1 << 0 << 1;
    QTest::newRow("no leave to ask: nothing asked") << false << MsgBox::no << 0 << 0 << 0;
}

void TestWindowEvents::sessionEnding()
{
    QFETCH(bool, interaction);
    QFETCH(int, answer);
    FakeSessionManager session;
    session.interaction = interaction;
    FakeMessageBox box;
    box.nextAnswer = answer;
    FakeProgram program;

    ::sessionEnding(session, box, program);
    QTEST(int(box.prompts.size()), "asked");
    QTEST(session.cancelled, "cancelled");
    QTEST(program.ended, "ended");
    QCOMPARE(session.released, interaction ? 1 : 0);
}

QTEST_MAIN(TestWindowEvents)
#include "tst_windowevents.moc"
