#include "CORE/Platform/PosixShellOpener.h"

#include "CORE/CLogWindow.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace kestrin {

namespace {
IShellOpener* g_shellOpener = nullptr;
std::vector<pid_t> g_children;

// Collects handlers that have exited, so no zombies pile up.
void ReapChildren() {
    for (size_t i = 0; i < g_children.size();) {
        int status = 0;
        pid_t r = waitpid(g_children[i], &status, WNOHANG);
        if (r == g_children[i] || (r < 0 && errno == ECHILD)) {
            g_children.erase(g_children.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}
}  // namespace

void PosixShellOpener::Run(const std::vector<std::string>& arguments) {
    ReapChildren();
    if (arguments.empty()) return;
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int err = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (err != 0) {
        Log(ELogLevel::Error, "OpenWithShell", "cannot start %s: %s", argv[0], std::strerror(err));
        return;
    }
    g_children.push_back(pid);
}

IShellOpener* GetShellOpener() {
    static PosixShellOpener desktop;
    return g_shellOpener ? g_shellOpener : &desktop;
}

void SetShellOpener(IShellOpener* opener) { g_shellOpener = opener; }

}  // namespace kestrin
