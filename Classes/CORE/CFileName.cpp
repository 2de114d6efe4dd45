#include "CORE/CFileName.h"

namespace kestrin {

std::string CFileName::FileName() const {
    size_t p = m_path.rfind(m_separator);
    return p == std::string::npos ? m_path : m_path.substr(p + 1);
}

std::string CFileName::GetDirectory() const {
    size_t p = m_path.rfind(m_separator);
    return p == std::string::npos ? std::string() : m_path.substr(0, p);
}

std::string CFileName::GetDirectoryWithSeparator() const {
    std::string dir = GetDirectory();
    return dir.empty() ? dir : dir + m_separator;
}

std::string CFileName::GetBaseName() const {
    std::string name = FileName();
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string CFileName::GetExtension() const {
    std::string name = FileName();
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string CFileName::GetPathWithoutExtension() const { return GetDirectoryWithSeparator() + GetBaseName(); }

}  // namespace kestrin
