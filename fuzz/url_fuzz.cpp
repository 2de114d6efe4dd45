// URLs that scripts give (the HTTP tags, save-data synchronisation, redirects) from
// arbitrary bytes. A URL taken as reachable names a host without a port of its own, a port
// from 1 to 65535 (or none), and an absolute request target; written out again from its
// pieces it reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "NETWORK/CUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const kestrin::CUrl url(text);
    const std::string host = url.GetHost();
    const std::string target = url.GetRequestTarget();
    const std::string query = url.GetQuery(false);
    if (!query.empty() && (query[0] != '?' || url.GetQuery(true) != query.substr(1))) __builtin_trap();
    url.GetFileName();
    url.GetExtension();

    const kestrin::CUrl::EReach reach = url.CheckReachable();
    if ((kestrin::CUrl::UnreachableText(reach) == nullptr) != (reach == kestrin::CUrl::kReachable)) __builtin_trap();
    if (reach != kestrin::CUrl::kReachable) return 0;
    const int port = url.GetPort();
    if (host.empty() || host[0] == '[' || host.find_first_of(":/?") != std::string::npos) __builtin_trap();
    if (port < 0 || port > 65535) __builtin_trap();
    if (target.empty() || target[0] != '/' ||
        target.compare(target.size() - query.size(), std::string::npos, query) != 0)
        __builtin_trap();

    const kestrin::CUrl again("http://" + host + (port ? ":" + std::to_string(port) : "") + target);
    if (again.CheckReachable() != kestrin::CUrl::kReachable || again.GetHost() != host || again.GetPort() != port ||
        again.GetRequestTarget() != target) {
        __builtin_trap();
    }
    return 0;
}
