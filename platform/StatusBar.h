#pragma once

#include <QString>

// The status line: the simple text the bar shows, and the texts of its panels.
class StatusBar
{
public:
    virtual ~StatusBar() = default;
    virtual void setSimpleText(const QString &text) = 0;
    virtual QString simpleText() const = 0;
    // False when no panel has that key.
    virtual bool setPanelText(const QString &key, const QString &text) = 0;
};
