#include "NETWORK/CUrl.h"

#include <cstdlib>
#include <vector>

#include "CORE/StringHelpers.h"

namespace kestrin {

CUrl::CUrl(const std::string& text) : CFileName(text, '/') {
    size_t schemeEnd = text.find("://");
    size_t s = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    size_t d = text.find('/', s);
    if (d == std::string::npos) return;
    if (s > 0) m_scheme = text.substr(0, s);
    if (s < d) {
        m_host = text.substr(s, d - s);
        size_t colon = m_host.find(':');
        if (colon != std::string::npos) {
            m_portText = m_host.substr(colon + 1);
            m_host.erase(colon);
        }
    }
    size_t q = text.find('?', d);
    if (q != std::string::npos) {
        m_path = NormalizePath(text.substr(d, q - d));
        m_query = text.substr(q);
    } else {
        m_path = NormalizePath(text.substr(d));
    }
}

int CUrl::GetPort() const { return m_portText.empty() ? 0 : std::atoi(m_portText.c_str()); }

std::string CUrl::GetQuery(bool stripped) const {
    if (stripped && !m_query.empty()) return m_query.substr(1);
    return m_query;
}

std::string CUrl::NormalizePath(const std::string& path) {
    std::vector<std::string> kept;
    std::string segment;
    auto take = [&kept](const std::string& part) {
        if (part == ".") return;
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
            return;
        }
        kept.push_back(part);
    };
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        int trail = 0;
        if (IsLeadByte(c, &trail, kEncodingShiftJis) && i + 1 < path.size()) {
            segment += path[i];
            segment += path[++i];
            continue;
        }
        if (c == '/') {
            take(segment);
            segment.clear();
        } else {
            segment += path[i];
        }
    }
    const bool finalEmpty = segment.empty();
    if (!finalEmpty) take(segment);
    std::string out;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) out += '/';
        out += kept[i];
    }
    if (finalEmpty) out += '/';
    return out;
}

}  // namespace kestrin
