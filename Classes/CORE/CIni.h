#pragma once
// INI text as a table of sections and keys with typed queries. Only parses text handed
// to it; the caller reads the file. Scans Shift_JIS: trail bytes never count as syntax.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace kestrin {

class CIni {
public:
    using KeyTable = std::map<std::string, std::string>;
    using Sections = std::map<std::string, KeyTable>;

    CIni();
    virtual ~CIni();

    // Clears the table and parses text up to its terminating NUL.
    void Parse(const char* text);
    // As above over at most length bytes (a NUL byte also ends the text).
    void Parse(const char* text, size_t length);

    std::string GetString(const char* section, const char* key) const;
    std::string GetStringDefault(const char* section, const char* key, const std::string& defaultValue) const;
    // Decimal as atoi reads it (blanks, sign, digits, rest ignored), clamped to the int
    // range; the default when the value is absent or empty.
    int GetIntDefault(const char* section, const char* key, int defaultValue) const;
    bool GetBoolDefault(const char* section, const char* key, bool defaultValue) const;
    int GetInt(const char* section, const char* key) const;
    bool GetBool(const char* section, const char* key) const;

    const Sections& GetSections() const { return m_sections; }
    // The sections, in the order of the text, whose "[" line ended before a "]": the lines
    // after it up to the next "]" became part of their name. Each name as far as that line
    // break (an escaped line break belongs to the name on purpose and ends nothing).
    const std::vector<std::string>& GetUnclosedSections() const { return m_unclosedSections; }

    // Strips leading and trailing blanks (space, tab, CR, LF); a text of blanks only is
    // returned unchanged.
    std::string Trim(const std::string& text) const;

private:
    const std::string* Find(const char* section, const char* key) const;

    int m_encoding;
    Sections m_sections;
    std::vector<std::string> m_unclosedSections;
};

}  // namespace kestrin
