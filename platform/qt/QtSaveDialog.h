#pragma once

#include "SaveDialog.h"

#include <QStringList>

class QWidget;

// The save-as dialog on Qt's own file dialog. It remembers the last file name, as a
// bare name, between showings.
class QtSaveDialog : public SaveDialog
{
public:
    explicit QtSaveDialog(QWidget *parent);

    void setDefaultExt(const QString &ext) override { m_defaultExt = ext; }
    void setInitDir(const QString &dir) override { m_initDir = dir; }
    void setFilter(const QString &filter) override { m_filter = filter; }
    bool showSave() override;
    QString fileName() const override { return m_fileName; }

    // "desc|pattern|desc|pattern" as Qt's name filters.
    static QStringList nameFilters(const QString &filter);

private:
    QWidget *m_parent;
    QString m_defaultExt;
    QString m_initDir;
    QString m_filter;
    QString m_fileName;
};
