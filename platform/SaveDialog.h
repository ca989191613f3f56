#pragma once

#include <QString>

// The save-as dialog. Filter uses "description|pattern" pairs.
class SaveDialog
{
public:
    virtual ~SaveDialog() = default;
    virtual void setDefaultExt(const QString &ext) = 0;
    virtual void setInitDir(const QString &dir) = 0;
    virtual void setFilter(const QString &filter) = 0;
    // Modal. False when the user cancelled.
    virtual bool showSave() = 0;
    virtual QString fileName() const = 0;
};
