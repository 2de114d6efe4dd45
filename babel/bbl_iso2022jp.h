#ifndef BABEL_BBL_ISO2022JP_H
#define BABEL_BBL_ISO2022JP_H

#include <cstddef>
#include <string>

namespace babel {

// Character sets of ISO-2022-JP as the engines' `mode`.
enum : int {
    jis_mode_ascii = 0,
    jis_mode_jisx0208 = 1,
    jis_mode_katakana = 2,
    jis_mode_jisx0212 = 3,
    jis_mode_shifted_katakana = 4,  // entered by 0x0F, left by 0x0E
};

constexpr unsigned char jis_esc = 0x1B;
constexpr unsigned char jis_shift_to_ascii = 0x0E;
constexpr unsigned char jis_shift_to_katakana = 0x0F;

// The escape that selects a mode (ascii, JIS X 0208, katakana, JIS X 0212).
extern const char* const jis_mode_escape[4];
extern const std::size_t jis_mode_escape_length[4];

// Reads an escape sequence at s[0] with `left` bytes available (s[0] is ESC).
// Returns the number of bytes it takes, or 0 when it may still be incomplete;
// `mode` changes only for a recognised sequence. ESC ( J counts as a return
// to ASCII only where `accept_roman` is set.
inline std::size_t read_jis_escape(const unsigned char* s, std::size_t left, int& mode, bool accept_roman) {
    if (left < 3) return 0;
    const unsigned char a = s[1], b = s[2];
    if (a == '(' && (b == 'B' || (accept_roman && b == 'J'))) {
        mode = jis_mode_ascii;
    } else if (a == '$' && b == 'B') {
        mode = jis_mode_jisx0208;
    } else if (a == '(' && b == 'I') {
        mode = jis_mode_katakana;
    } else if (a == '$' && b == '(') {
        if (left < 4) return 0;
        if (s[3] == 'D') {
            mode = jis_mode_jisx0212;
            return 4;
        }
    }
    // Unrecognised sequences (such as ESC $ @) are dropped whole: three bytes.
    return 3;
}

// Reads an escape or a shift byte at s[0] (`left` bytes available) for the
// readers. Returns the bytes taken, 0 when s[0] is an ordinary byte, or
// jis_control_wait when an escape may still be incomplete.
constexpr std::size_t jis_control_wait = static_cast<std::size_t>(-1);
inline std::size_t read_jis_control(const unsigned char* s, std::size_t left, int& mode, bool accept_roman) {
    if (s[0] == jis_esc) {
        const std::size_t taken = read_jis_escape(s, left, mode, accept_roman);
        return taken ? taken : jis_control_wait;
    }
    if (s[0] == jis_shift_to_ascii || s[0] == jis_shift_to_katakana) {
        mode = s[0] == jis_shift_to_ascii ? jis_mode_ascii : jis_mode_shifted_katakana;
        return 1;
    }
    return 0;
}

// The writers send an escape only where the character set changes.
template <class Buffer>
inline void enter_jis_mode(Buffer& buf, int& mode, int needed) {
    if (needed != mode) {
        buf.put(jis_mode_escape[needed], jis_mode_escape_length[needed]);
        mode = needed;
    }
}

// The writers end their text in ASCII.
inline void return_jis_to_ascii(std::string& output, int& mode) {
    if (mode != jis_mode_ascii) {
        output.append(jis_mode_escape[jis_mode_ascii], jis_mode_escape_length[jis_mode_ascii]);
        mode = jis_mode_ascii;
    }
}

}  // namespace babel

#endif
