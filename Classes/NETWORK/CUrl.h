#pragma once
// A URL split into scheme, host, port, path and query. The path is kept with "." and ".."
// segments resolved, so it can go straight into a request line; a URL without one names
// the root ("/"), as in a browser.
#include <cstdint>
#include <string>

#include "CORE/CFileName.h"

namespace kestrin {

class CUrl : public CFileName {
public:
    explicit CUrl(const std::string& text);
    ~CUrl() override = default;

    std::string GetScheme() const { return m_scheme; }
    std::string GetHost() const { return m_host; }
    // The port as CheckReachable accepts it (1 to 65535); 0 for the scheme's default, and
    // for a port CheckReachable refuses.
    uint16_t GetPort() const;
    // With stripped set, a non-empty query loses its leading "?".
    std::string GetQuery(bool stripped) const;
    std::string GetRequestTarget() const { return m_path + m_query; }

    // Whether a plain TCP connection can be made from the URL's host and port. IPv6
    // addresses ("[::1]") are not supported, and neither is TLS: an "https" URL would go out
    // in clear text.
    enum EReach { kReachable, kNoHost, kBadPort, kIpv6Host, kTls };
    EReach CheckReachable() const;
    // Why the URL cannot be reached (engine text, UTF-8); null when it can.
    static const char* UnreachableText(EReach reach);

    // "." segments dropped, ".." removing the segment before it; a final "/" is kept.
    static std::string NormalizePath(const std::string& path);

private:
    // The port text in decimal digits only, capped above 65535; -1 for any other character.
    long ParsePort() const;

    std::string m_scheme;
    std::string m_host;
    std::string m_portText;
    std::string m_query;
};

}  // namespace kestrin
