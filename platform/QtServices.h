#pragma once

#include "Clipboard.h"
#include "MessageBox.h"
#include "Program.h"
#include "SaveDialog.h"

#include <QList>
#include <QPair>

class QWidget;

class QtMessageBox : public MessageBox
{
public:
    int msgBox(const QString &prompt, int style, const QString &title) override;
};

class QtClipboard : public Clipboard
{
public:
    void clear() override;
    void setText(const QString &text) override;
};

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

class QtProgram : public Program
{
public:
    QString appPath() const override;
    void end() override;
};
