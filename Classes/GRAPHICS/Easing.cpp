#include "GRAPHICS/Easing.h"

#include <cmath>

namespace kestrin {

namespace {

// Single-precision constants held as doubles; the curves must use exactly these values.
constexpr double kHalfPi = 1.5707963705062866;
constexpr double kPi = 3.1415927410125732;
constexpr double kTwoPi = 6.2831854820251465;
constexpr double k03 = 0.30000001192092896;
constexpr double k045 = 0.45000001788139343;
constexpr double kBack = 1.7015800476074219;
constexpr double kBackInOut = 1.524999976158142;

// clang-format off
const char* const kNames[kEaseKindCount] = {
    "none",           "easein_quad",     "easeout_quad",     "easeinout_quad",  "easein_cubic",
    "easeout_cubic",  "easeinout_cubic", "easein_quart",     "easeout_quart",   "easeinout_quart",
    "easein_quint",   "easeout_quint",   "easeinout_quint",  "easein_expo",     "easeout_expo",
    "easeinout_expo", "easein_circ",     "easeout_circ",     "easeinout_circ",  "easein_sine",
    "easeout_sine",   "easeinout_sine",  "easein_back",      "easeout_back",    "easeinout_back",
    "easein_elastic", "easeout_elastic", "easeinout_elastic", "easein_bounce",  "easeout_bounce",
    "easeinout_bounce"};
// clang-format on

}  // namespace

const char* GetEaseName(int kind) { return kind >= 0 && kind < kEaseKindCount ? kNames[kind] : nullptr; }

int FindEaseKind(const std::string& name) {
    for (int kind = 0; kind < kEaseKindCount; ++kind) {
        if (name == kNames[kind]) return kind;
    }
    return -1;
}

double EaseOutBounce(double e, double b, double c, double d) {
    const double x = e / d;
    if (x < 0.3636363744735718) return b + c * (7.5625 * x * x);
    if (x < 0.7272727489471436) {
        const double y = x - 0.5454545617103577;
        return b + c * (7.5625 * y * y + 0.75);
    }
    if (x < 0.9090909361839294) {
        const double y = x - 0.8181818127632141;
        return b + c * (7.5625 * y * y + 0.9375);
    }
    const double y = x - 0.9545454382896423;
    return b + c * (7.5625 * y * y + 0.984375);
}

double EaseInBounce(double e, double b, double c, double d) { return c - EaseOutBounce(d - e, 0, c, d) + b; }

double Ease(int kind, double e, double b, double c, double d) {
    const double t = e / d;
    const double u = e / (d / 2);
    switch (kind) {
        case 1: return c * t * t + b;
        case 2: return -c * t * (t - 2) + b;
        case 3: {
            if (u < 1) return c / 2 * u * u + b;
            const double w = u - 1;
            return -c / 2 * (w * (w - 2) - 1) + b;
        }
        case 4: return c * t * t * t + b;
        case 5: {
            const double w = t - 1;
            return c * (w * w * w + 1) + b;
        }
        case 6: {
            if (u < 1) return c / 2 * u * u * u + b;
            const double w = u - 2;
            return c / 2 * (w * w * w + 2) + b;
        }
        case 7: return c * t * t * t * t + b;
        case 8: {
            const double w = t - 1;
            return -c * (w * w * w * w - 1) + b;
        }
        case 9: {
            if (u < 1) return c / 2 * u * u * u * u + b;
            const double w = u - 2;
            return -c / 2 * (w * w * w * w - 2) + b;
        }
        case 10: return c * t * t * t * t * t + b;
        case 11: {
            const double w = t - 1;
            return c * (w * w * w * w * w + 1) + b;
        }
        case 12: {
            if (u < 1) return c / 2 * u * u * u * u * u + b;
            const double w = u - 2;
            return c / 2 * (w * w * w * w * w + 2) + b;
        }
        case 13: return c * std::pow(2.0, 10 * (t - 1)) + b;
        case 14: return c * (1 - std::pow(2.0, -10 * t)) + b;
        case 15:
            if (u < 1) return c / 2 * std::pow(2.0, 10 * (u - 1)) + b;
            return c / 2 * (2 - std::pow(2.0, -10 * (u - 1))) + b;
        case 16: return -c * (std::sqrt(1 - t * t) - 1) + b;
        case 17: {
            const double w = t - 1;
            return c * std::sqrt(1 - w * w) + b;
        }
        case 18: {
            if (u < 1) return -c / 2 * (std::sqrt(1 - u * u) - 1) + b;
            const double w = u - 2;
            return c / 2 * (std::sqrt(1 - w * w) + 1) + b;
        }
        case 19: return -c * std::cos(t * kHalfPi) + c + b;
        case 20: return c * std::sin(t * kHalfPi) + b;
        case 21: return -c / 2 * (std::cos(e * kPi / d) - 1) + b;
        case 22: {
            const double s = kBack;
            return c * t * t * ((s + 1) * t - s) + b;
        }
        case 23: {
            const double s = kBack;
            const double w = t - 1;
            return c * (w * w * ((s + 1) * w + s) + 1) + b;
        }
        case 24: {
            const double s = kBack * kBackInOut;
            if (u < 1) return c / 2 * u * u * ((s + 1) * u - s) + b;
            const double w = u - 2;
            return c / 2 * (w * w * ((s + 1) * w + s) + 2) + b;
        }
        case 25: {
            const double p = d * k03;
            const double q = p / 4;
            const double w = t - 1;
            return b - c * std::pow(2.0, 10 * w) * std::sin((w * d - q) * kTwoPi / p);
        }
        case 26: {
            const double p = d * k03;
            const double q = p / 4;
            return c * std::pow(2.0, -10 * t) * std::sin((t * d - q) * kTwoPi / p) + c + b;
        }
        case 27: {
            const double p = d * k045;
            const double q = p / 4;
            const double w = u - 1;
            if (u < 1) return -0.5 * c * std::pow(2.0, 10 * w) * std::sin((w * d - q) * kTwoPi / p) + b;
            return 0.5 * c * std::pow(2.0, -10 * w) * std::sin((w * d - q) * kTwoPi / p) + c + b;
        }
        case 28: return EaseInBounce(e, b, c, d);
        case 29: return EaseOutBounce(e, b, c, d);
        case 30:
            if (e < d / 2) return EaseInBounce(2 * e, 0, c, d) * 0.5 + b;
            return EaseOutBounce(2 * e - d, 0, c, d) * 0.5 + c * 0.5 + b;
        default: return c / d * e + b;
    }
}

}  // namespace kestrin
