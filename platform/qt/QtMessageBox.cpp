#include "QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>

int QtMessageBox::msgBox(const QString &prompt, int style, const QString &title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);

    switch (style & MsgBox::iconMask) {
    case MsgBox::critical: box.setIcon(QMessageBox::Critical); break;
    case MsgBox::question: box.setIcon(QMessageBox::Question); break;
    case MsgBox::exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgBox::information: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    if ((style & MsgBox::buttonsMask) == MsgBox::yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }

    switch (box.exec()) {
    case QMessageBox::Yes: return MsgBox::yes;
    case QMessageBox::No: return MsgBox::no;
    default: return MsgBox::ok;
    }
}
