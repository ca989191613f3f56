#include "QtSaveDialog.h"

#include <QFileDialog>
#include <QFileInfo>

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
