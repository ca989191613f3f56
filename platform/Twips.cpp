#include "Twips.h"

#include <cmath>

namespace Twips {

int toPixels(float twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / perInch));
}

float fromPixels(double pixels, double logicalDpi)
{
    return static_cast<float>(pixels * perInch / logicalDpi);
}

} // namespace Twips
