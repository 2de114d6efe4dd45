#pragma once
// A script value: a string or a 32-bit int, each converted to the other lazily and cached.
#include <cstdint>
#include <string>

namespace kestrin {

class CVariant {
public:
    CVariant() = default;
    explicit CVariant(int32_t value) : m_number(value) {}
    explicit CVariant(const std::string& value) : m_isString(true), m_string(value) {}
    virtual ~CVariant() = default;

    // The string form: a string as set, an int in decimal (computed once).
    virtual const std::string& GetString() const;
    // The int form: an int as set, a string read like strtoul on a 32-bit
    // unsigned long (base 16 after a "0x" prefix), taken as signed.
    virtual int32_t GetInt() const;
    virtual void SetString(const std::string& value);
    // The same, taking the text over.
    void SetString(std::string&& value);
    virtual void SetInt(int32_t value);
    virtual bool IsString() const { return m_isString; }
    // Ints always; strings of decimal digits after an optional "-", or "0x" and hex digits.
    // The empty string, "-" and "0x" count as numeric.
    virtual bool IsNumeric() const;

    // The text-to-number conversion of GetInt, for any text.
    static int32_t TextToInt(const char* text, size_t length);

private:
    bool m_isString = false;
    mutable bool m_converted = false;
    mutable std::string m_string;
    mutable int32_t m_number = 0;
};

}  // namespace kestrin
