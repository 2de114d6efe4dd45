// The multibyte walkers, splitters and the command-line parser over arbitrary bytes.
// The first byte picks encoding and separators; the rest is the text. URL encoding is
// undone by URL decoding.
#include "CORE/StartUp.h"
#include "CORE/StringHelpers.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int encoding = data[0] % 4;
    const std::string separators[] = {",", "\n", "::", ""};
    const std::string& separator = separators[(data[0] >> 2) % 4];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const char* c = text.c_str();

    std::vector<std::string> pieces;
    kestrin::SplitStringStripping(c, pieces, separator, "\\\r");
    kestrin::SplitString(c, pieces, separator);
    std::string before;
    kestrin::FindCharMultibyte(c, '.', encoding, &before);
    for (int i = -1; i <= static_cast<int>(text.size()) + 1; i += 7) kestrin::GetBytePositionKind(c, i, encoding);
    kestrin::StringReplaceAll(text, "\\", "/");
    kestrin::StringReplaceAll(text, "a", "aa");
    kestrin::ToLowerString(text);
    kestrin::UrlDecode(text);
    // Encoding then decoding gives the text back, every byte value included.
    if (kestrin::UrlDecode(kestrin::UrlEncode(text)) != text) std::abort();
    kestrin::Base64Encode(text.data(), static_cast<unsigned>(text.size()));
    kestrin::ArgumentMap arguments;
    kestrin::ParseCommandLine(c, arguments);
    return 0;
}
