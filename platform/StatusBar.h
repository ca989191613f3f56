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
    // What is known about the document in the view, shown when the pointer rests on
    // the bar; empty for none. The status texts stay as they are.
    virtual void setDetails(const QString &details) = 0;
};
