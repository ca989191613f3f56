#include "ResizeRule.h"

#include "PageView.h"
#include "TextBox.h"

#include <algorithm>

LayoutSizes layoutRule(float outerWidth, float outerHeight)
{
    const auto clamp = [](float size) { return std::max(size, 0.0f); };
    return {clamp(outerHeight - 1010.0f), clamp(outerWidth - 120.0f), clamp(outerHeight - 1750.0f),
            clamp(outerWidth - 1240.0f)};
}

void Form_Resize(bool minimized, float outerWidth, float outerHeight, PageView &rchtxtHTML, TextBox &txtURL)
{
    if (minimized)
        return;
    const LayoutSizes sizes = layoutRule(outerWidth, outerHeight);
    rchtxtHTML.setHeightTwips(sizes.viewHeight);
    rchtxtHTML.setWidthTwips(sizes.viewWidth);
    txtURL.setHeightTwips(sizes.urlHeight);
    txtURL.setWidthTwips(sizes.urlWidth);
}
