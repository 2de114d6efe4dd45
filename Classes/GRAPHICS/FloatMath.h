#pragma once
// Single-precision wrappers: each computes in the standard routine and rounds to float.
namespace kestrin {

float AbsFloat(float v);
float FloorFloat(float v);
float SinFloat(float v);
float CosFloat(float v);

}  // namespace kestrin
