#pragma once

#include <QString>

// The address box.
class TextBox
{
public:
    virtual ~TextBox() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
    virtual void setHeightTwips(float twips) = 0;
    virtual void setWidthTwips(float twips) = 0;
};
