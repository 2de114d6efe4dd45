// The var tag's text walkers over arbitrary bytes: explode, character references, URL
// decoding, folder-name cleaning and the file-time pattern. The first byte picks the
// delimiter and the escape set; the rest is the text.
#include "CORE/GamePath.h"
#include "SCRIPT/tags/VarFunctions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string delimiters[] = {",", "\n", "::", ""};
    const std::string escapes[] = {"\\", "", "\\\r", ","};
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> pieces;
    kestrin::ExplodeText(text, delimiters[data[0] % 4], escapes[(data[0] >> 2) % 4], pieces);
    kestrin::CharacterReferencesToUtf8(text);
    kestrin::UrlDecodeWhole(text);
    std::string clean;
    kestrin::NormalizeFolderName(text, clean);
    kestrin::FormatFileTime(text, 2009, 3, 5, 7, 8, 9);
    return 0;
}
