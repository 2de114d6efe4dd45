#pragma once
// A path split into folder, base name and extension at the last separator ('\' unless
// given). Every operation returns a new string; letter case is kept.
#include <string>

namespace kestrin {

class CFileName {
public:
    explicit CFileName(const std::string& path, char separator = '\\') : m_path(path), m_separator(separator) {}
    virtual ~CFileName() = default;

    std::string GetPath() const { return m_path; }
    std::string GetDirectory() const;
    std::string GetDirectoryWithSeparator() const;
    std::string GetBaseName() const;
    std::string GetExtension() const;
    std::string GetPathWithoutExtension() const;
    // The part after the last separator (the whole path without one).
    std::string GetFileName() const { return FileName(); }

protected:
    std::string FileName() const;

    std::string m_path;
    char m_separator = '\\';
    int m_encoding = 0;  // multibyte-aware scanning of the URL form
};

}  // namespace kestrin
