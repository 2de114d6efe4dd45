#pragma once
// Byte-string helpers for text in the game's encoding (0 Shift_JIS, 1 EUC-JP, 2 UTF-8):
// walking multibyte text without cutting characters, splitting, joining, replacing,
// and the small codecs that the script functions expose.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

// Text encoding ids.
enum : int { kEncodingShiftJis = 0, kEncodingEucJp = 1, kEncodingUtf8 = 2 };

// True when the byte starts a multibyte character; *trailCount (if given) receives the
// number of bytes that follow it. Unknown encodings have no lead bytes.
bool IsLeadByte(unsigned char byte, int* trailCount, int encoding);

// 0: single-byte character at index; 1: first byte of a multibyte character; 2, 3, ...:
// a later byte of one; -1: index outside the text.
int GetBytePositionKind(const char* text, int index, int encoding);

// Appends the pieces between separators to out (never clears it): n separators give
// n + 1 pieces. Shift_JIS trail bytes are never taken for separators. An empty separator
// splits nothing: the whole text is one piece.
void SplitString(const char* text, std::vector<std::string>& out, const std::string& separator);
// As SplitString, and each byte of escapes makes the byte after it literal; the escape
// itself is dropped (an escape before a line feed is simply dropped).
void SplitStringStripping(const char* text, std::vector<std::string>& out, const std::string& separator,
                          const std::string& escapes);

// The elements of a native "/" path, read lexically: empty and "." elements are dropped and
// ".." takes away the element before it (never rising above the first). climbed, when
// given, is set when a ".." had nothing to take away.
std::vector<std::string> CollapsePathElements(const std::string& path, bool* climbed = nullptr);
// folder "/" name: an empty folder gives name alone, a folder ending in "/" (the root)
// gets no second one.
std::string JoinPath(const std::string& folder, const std::string& name);
// Appends the parts to out, with separator between them.
void JoinStrings(const std::vector<std::string>& parts, std::string& out, const std::string& separator);

// Replaces every occurrence of from (Shift_JIS aware: never at a trail byte); replaced
// text is not searched again.
std::string StringReplaceAll(std::string text, const std::string& from, const std::string& to);

// First c outside multibyte characters, or the terminator; before (if given) receives
// the text before it (the whole text when c is absent).
const char* FindCharMultibyte(const char* text, char c, int encoding, std::string* before);

bool StringEquals(const std::string& s, const char* text);

// Lower-cases 'A' to 'Z', leaving Shift_JIS double-byte characters alone.
std::string ToLowerString(const std::string& text);

// Decimal text as atoi reads it (leading blanks, an optional sign, digits up to the first
// other byte; no digits give 0), but values beyond 32 bits saturate instead of overflowing.
int32_t ParseInt32(const std::string& text);

std::string IntToString(int value);
std::string IntToHexString(int value, bool prefix, bool upper);
// The "long" of stored data and scripts is 32 bits wide.
std::string LongToHexString(int32_t value, bool prefix, bool upper);
std::string LongToString(int32_t value);

std::string Base64Encode(const void* bytes, unsigned length);
// HMAC-SHA1 (RFC 2104) in Base64; keys shorter than 20 bytes give "".
std::string HmacSha1Base64(const std::string& key, const std::string& message);
std::string UrlEncode(const std::string& text);
std::string UrlDecode(const std::string& text);

// Percent to 16.16 fixed point (100 -> 65536); clamped to the int range.
int PercentToFixed16(int percent);

// Opens a URL or file with the desktop's default handler (through the shell-open
// service in Platform/; never through a shell command line), in UTF-8. The result is
// ignored.
void OpenWithShell(const std::string& target);

}  // namespace kestrin
