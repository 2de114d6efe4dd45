#include "SCRIPT/CVariant.h"

#include <cstdio>
#include <utility>

namespace kestrin {

namespace {
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
int DigitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}
}  // namespace

int32_t CVariant::TextToInt(const char* text, size_t length) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = p + length;
    int base = 10;
    if (length >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) base = 16;
    while (p < end && IsSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // strtoul skips a "0x" prefix only when a hex digit follows it.
    if (base == 16 && end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) p += 2;
    // strtoul with a 32-bit unsigned long: saturates at 4294967295, then the sign is applied
    // modulo 2^32 (except after saturation).
    uint64_t value = 0;
    bool overflow = false;
    for (; p < end; ++p) {
        int d = DigitValue(*p);
        if (d >= base) break;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
    }
    uint32_t result = static_cast<uint32_t>(value);
    if (!overflow && negative) result = 0u - result;
    return static_cast<int32_t>(result);
}

const std::string& CVariant::GetString() const {
    if (!m_isString && !m_converted) {
        char buf[16];
        int n = std::snprintf(buf, sizeof buf, "%d", m_number);
        m_string.assign(buf, static_cast<size_t>(n));
        m_converted = true;
    }
    return m_string;
}

int32_t CVariant::GetInt() const {
    if (m_isString && !m_converted) {
        m_number = TextToInt(m_string.data(), m_string.size());
        m_converted = true;
    }
    return m_number;
}

void CVariant::SetString(const std::string& value) {
    // Assignment keeps the old block: a short text set over a large one (a downloaded body
    // cleared by the script) would hold all of it.
    if (m_string.capacity() > 65536 && value.size() < m_string.capacity() / 2) {
        std::string(value).swap(m_string);
    } else {
        m_string = value;
    }
    m_isString = true;
    m_converted = false;
}

void CVariant::SetString(std::string&& value) {
    m_string = std::move(value);
    m_isString = true;
    m_converted = false;
}

void CVariant::SetInt(int32_t value) {
    if (m_string.capacity() > 65536) std::string().swap(m_string);
    m_number = value;
    m_isString = false;
    m_converted = false;
}

bool CVariant::IsNumeric() const {
    if (!m_isString) return true;
    const std::string& s = m_string;
    size_t i = 0;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        for (i = 2; i < s.size(); ++i)
            if (DigitValue(static_cast<unsigned char>(s[i])) >= 16) return false;
        return true;
    }
    if (i < s.size() && s[i] == '-') ++i;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

}  // namespace kestrin
