// The page view and, beside it, a read-only QPlainTextEdit that the keyboard can select
// in, each in a window of its own, with a file's text in the page view's font and
// without wrapping: what the page view's keys are held against. The edit's window title says how many keys it has taken and where its anchor and caret are
// ("twin keys anchor caret"), so that a test knows when and what Qt's own control did;
// the text itself is read back through Ctrl+C.
#include "SourceView.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

class Twin : public QPlainTextEdit
{
public:
    Twin()
    {
        connect(this, &QPlainTextEdit::cursorPositionChanged, this, &Twin::tell);
        connect(this, &QPlainTextEdit::selectionChanged, this, &Twin::tell);
    }

    void tell()
    {
        const QTextCursor cursor = textCursor();
        setWindowTitle(QStringLiteral("twin %1 %2 %3").arg(m_keys).arg(cursor.anchor()).arg(cursor.position()));
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        QPlainTextEdit::keyPressEvent(event);
        switch (event->key()) {
        case Qt::Key_Control: case Qt::Key_Shift: case Qt::Key_Alt: case Qt::Key_Meta:
            break;
        default:
            ++m_keys;
            tell();
        }
    }

private:
    int m_keys = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QString text = QString::fromUtf8(file.readAll());

    SourceView view;
    view.setWindowTitle(QStringLiteral("page view"));
    view.setText(text);
    view.resize(600, 400);
    view.show();

    Twin edit;
    edit.setPlainText(text);
    edit.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.setReadOnly(true);
    edit.setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    edit.tell();
    edit.resize(600, 400);
    edit.move(0, 420);
    edit.show();
    return app.exec();
}
