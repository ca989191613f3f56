#pragma once

#include <cmath>

// The window's sizes are in twips: 1/1440 inch, so one logical pixel is 1440 / dpi
// twips (15 at 96 dpi).
namespace Twips {

constexpr float perInch = 1440.0f;

inline int toPixels(float twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / perInch));
}

inline float fromPixels(double pixels, double logicalDpi)
{
    return static_cast<float>(pixels * perInch / logicalDpi);
}

} // namespace Twips
