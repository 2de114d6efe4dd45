#include "NETWORK/CUrl.h"

#include <algorithm>
#include <vector>

#include "CORE/StringHelpers.h"
#include "NETWORK/NetworkMessages.h"

namespace kestrin {

CUrl::CUrl(const std::string& text) : CFileName(text, '/') {
    size_t schemeEnd = text.find("://");
    size_t s = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    if (s >= text.size()) return;
    // The host ends where the path or the query begins; without a path the root is meant.
    size_t d = text.find_first_of("/?", s);
    if (d == std::string::npos) d = text.size();
    if (s > 0) m_scheme = text.substr(0, s);
    if (s < d) {
        m_host = text.substr(s, d - s);
        // A bracketed IPv6 address holds colons of its own; the port follows the "]".
        size_t colon = m_host.find(':', m_host[0] == '[' ? m_host.find(']') : 0);
        if (colon != std::string::npos) {
            m_portText = m_host.substr(colon + 1);
            m_host.erase(colon);
        }
    }
    size_t q = text.find('?', d);
    if (q == std::string::npos) q = text.size();
    m_path = d < q ? NormalizePath(text.substr(d, q - d)) : "/";
    // ".." never climbs above the root: the target stays absolute.
    if (m_path.empty() || m_path[0] != '/') m_path.insert(0, "/");
    m_query = text.substr(q);
}

long CUrl::ParsePort() const {
    long port = 0;
    for (char c : m_portText) {
        if (c < '0' || c > '9') return -1;
        port = std::min(port * 10 + (c - '0'), 100000L);
    }
    return port;
}

uint16_t CUrl::GetPort() const {
    const long port = ParsePort();
    return static_cast<uint16_t>(port >= 1 && port <= 65535 ? port : 0);
}

CUrl::EReach CUrl::CheckReachable() const {
    if (ToLowerString(m_scheme) == "https://") return kTls;
    if (m_host.empty()) return kNoHost;
    if (m_host[0] == '[' || m_host.find(':') != std::string::npos) return kIpv6Host;
    // No port text is the default port; else 1 to 65535 in decimal digits only.
    return m_portText.empty() || GetPort() != 0 ? kReachable : kBadPort;
}

const char* CUrl::UnreachableText(EReach reach) {
    switch (reach) {
        case kNoHost: return netmsg::kNoHost;
        case kBadPort: return netmsg::kBadPort;
        case kIpv6Host: return netmsg::kIpv6Host;
        case kTls: return netmsg::kTls;
        default: return nullptr;
    }
}

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
