// Shared by the conversion fuzz targets: runs one engine over the input with
// the default chunk and with a small one, and insists on the same output.
#ifndef KESTRIN_FUZZ_BABEL_FUZZ_COMMON_H
#define KESTRIN_FUZZ_BABEL_FUZZ_COMMON_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace babel_fuzz {

inline std::string Narrow(const uint8_t* data, size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline std::u16string Wide(const uint8_t* data, size_t size)
{
    std::u16string s(size / 2, u'\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return s;
}

template <class Engine>
typename Engine::output_string Check(const typename Engine::input_string& input, size_t small_chunk)
{
    Engine whole;
    const typename Engine::output_string expected = whole.convert(input);
    Engine chunked;
    chunked.set_chunk_limit(1 + small_chunk % 7);
    if (chunked.convert(input) != expected)
        std::abort();
    // Nothing stays pending after convert.
    if (!whole.pending_input.empty())
        std::abort();
    return expected;
}

} // namespace babel_fuzz

#endif
