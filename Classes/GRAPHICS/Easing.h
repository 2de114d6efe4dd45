#pragma once
#include <string>

// The easing curves of the tweens: kind 0 is linear, 1..30 the named curves.
namespace kestrin {

constexpr int kEaseKindCount = 31;

// Value at elapsed e of duration d, from b by change c; kinds outside 1..30 are linear.
double Ease(int kind, double e, double b, double c, double d);
double EaseOutBounce(double e, double b, double c, double d);
double EaseInBounce(double e, double b, double c, double d);
// The word the tags use for a kind ("none", "easein_quad", ...); null outside 0..30.
const char* GetEaseName(int kind);
// The kind a tag names with that word; -1 for a word that names none.
int FindEaseKind(const std::string& name);

}  // namespace kestrin
