#include "GRAPHICS/FloatMath.h"

#include <cmath>

namespace kestrin {

float AbsFloat(float v) { return static_cast<float>(std::fabs(static_cast<double>(v))); }
float FloorFloat(float v) { return static_cast<float>(std::floor(static_cast<double>(v))); }
float SinFloat(float v) { return static_cast<float>(std::sin(static_cast<double>(v))); }
float CosFloat(float v) { return static_cast<float>(std::cos(static_cast<double>(v))); }

}  // namespace kestrin
