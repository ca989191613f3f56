#pragma once

// Sizes in the window's description are in twips: 1/1440 inch, so one logical pixel
// is 1440 / dpi twips (15 at 96 dpi).
namespace Twips {

constexpr float perInch = 1440.0f;

int toPixels(float twips, double logicalDpi);
float fromPixels(double pixels, double logicalDpi);

} // namespace Twips
