#pragma once
// Text shown by the platform (window titles, the log, stderr) is UTF-8; the game's
// own text may be Shift_JIS.
#include <cstdint>
#include <string>

namespace kestrin {

bool IsValidUtf8(const std::string& text);
// The character at i of UTF-8 text, stepping i past it; a broken sequence reads as
// U+FFFD (the bytes up to where it broke are stepped over). i must be below the size.
uint32_t NextUtf8CodePoint(const std::string& text, size_t& i);
// UTF-8 text is kept; anything else is read as Shift_JIS (CP932).
std::string GameTextToUtf8(const std::string& text);
// UTF-8 text in a game encoding (0 Shift_JIS, 1 EUC-JP, 2 UTF-8).
std::string Utf8ToGameText(const std::string& utf8, int encoding);

}  // namespace kestrin
