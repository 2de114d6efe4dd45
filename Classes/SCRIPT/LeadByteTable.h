#pragma once
// Per-encoding table of the lead-byte test, so that scanners classify a byte with one load.
#include <cstdint>

namespace kestrin {

// For each byte: 0 when it does not start a multibyte character, else 1 + its trail-byte count
// (as IsLeadByte reports for the encoding). Unknown encodings have no lead bytes.
const uint8_t* GetLeadByteTable(int encoding);

}  // namespace kestrin
