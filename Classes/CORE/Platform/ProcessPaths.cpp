#include "CORE/Platform/ProcessPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kestrin {

std::string GetExecutablePath(const char* argv0) {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n > 0) return std::string(buf.data(), static_cast<size_t>(n));
    if (!argv0 || !*argv0) return std::string();
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(argv0, ec);
    return ec ? std::string(argv0) : p.lexically_normal().string();
}

std::string GetUserDataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // The XDG base-directory rules say relative values are to be ignored.
    if (xdg && xdg[0] == '/') return xdg;
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    if (home.empty()) return std::string();
    return home + "/.local/share";
}

}  // namespace kestrin
