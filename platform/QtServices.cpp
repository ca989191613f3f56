#include "QtServices.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include <cstdio>
#include <cstdlib>

int QtMessageBox::msgBox(const QString &prompt, int style, const QString &title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);

    switch (style & 0x70) {
    case MsgBox::critical: box.setIcon(QMessageBox::Critical); break;
    case MsgBox::question: box.setIcon(QMessageBox::Question); break;
    case MsgBox::exclamation: box.setIcon(QMessageBox::Warning); break;
    case 64: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    if ((style & 0x0F) == MsgBox::yesNo) {
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

void QtClipboard::clear()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

void QtClipboard::setText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QtSaveDialog::QtSaveDialog(QWidget *parent)
    : m_parent(parent)
{
}

QStringList QtSaveDialog::nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i);
        const QString pattern = parts.at(i + 1);
        // Qt reads the patterns from the last parentheses; a description that already
        // ends with them is shown exactly as written.
        if (description.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
            result.append(description);
        else
            result.append(description + QStringLiteral(" (") + pattern.split(QLatin1Char(';')).join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return result;
}

bool QtSaveDialog::showSave()
{
    QFileDialog dialog(m_parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setDefaultSuffix(m_defaultExt);
    dialog.setNameFilters(nameFilters(m_filter));
    dialog.setDirectory(m_initDir);
    if (!m_fileName.isEmpty())
        dialog.selectFile(QFileInfo(m_fileName).fileName());

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    m_fileName = dialog.selectedFiles().constFirst();
    return true;
}

QString QtProgram::appPath() const
{
    return QCoreApplication::applicationDirPath();
}

void QtProgram::end()
{
    // Inside a transfer the window's thread is in a nested event loop, under a handler
    // that would resume if the loops were merely asked to quit. End the process here.
    if (QThread::currentThread()->loopLevel() > 1) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
    QCoreApplication::exit(0);
}
