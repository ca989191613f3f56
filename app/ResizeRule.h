#pragma once

class PageView;
class TextBox;

// The sizes the view and the address box follow, from the window's outer width and
// height in twips. Sizes that would be negative are zero.
struct LayoutSizes
{
    float viewHeight;
    float viewWidth;
    float urlHeight;
    float urlWidth;
};
LayoutSizes layoutRule(float outerWidth, float outerHeight);

// The client area plus a sizing frame of 60 twips a side and a 285-twip title bar.
constexpr float frameWidthTwips = 120.0f;
constexpr float frameHeightTwips = 405.0f;

void Form_Resize(bool minimized, float outerWidth, float outerHeight, PageView &rchtxtHTML, TextBox &txtURL);
