// Shared by the conversion fuzz targets: runs one engine over the input with
// the default chunk, with a small one and fed in small pieces, and insists on
// the same output.
#ifndef KESTRIN_FUZZ_BABEL_FUZZ_COMMON_H
#define KESTRIN_FUZZ_BABEL_FUZZ_COMMON_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace babel_fuzz {

inline std::string Narrow(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline std::u16string Wide(const uint8_t* data, size_t size) {
    std::u16string s(size / 2, u'\0');
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return s;
}

template <class Engine>
typename Engine::output_string Check(const typename Engine::input_string& input, size_t piece_seed) {
    Engine whole;
    const typename Engine::output_string expected = whole.convert(input);
    // Nothing stays pending after convert.
    if (!whole.pending_input.empty()) std::abort();
    // With a small chunk, and fed in small pieces, the text converts as in
    // one piece.
    Engine chunked;
    chunked.set_chunk_limit(1 + piece_seed % 7);
    if (chunked.convert(input) != expected) std::abort();
    const size_t piece = 1 + piece_seed / 7 % 7;
    Engine pieces;
    for (size_t at = 0; at < input.size(); at += piece)
        pieces.feed(input.data() + at, input.size() - at < piece ? input.size() - at : piece);
    pieces.flush();
    if (pieces.output != expected) std::abort();
    return expected;
}

}  // namespace babel_fuzz

#endif
