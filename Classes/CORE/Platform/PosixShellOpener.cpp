#include "CORE/Platform/PosixShellOpener.h"

#include "CORE/CLogWindow.h"
#include "CORE/StringHelpers.h"

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

void PosixShellOpener::Open(const std::string& target) {
    ReapChildren();
    // The target is one argument: nothing in it is interpreted by a shell.
    std::string program = "xdg-open";
    std::vector<char*> argv = {program.data(), const_cast<char*>(target.c_str()), nullptr};
    pid_t pid = 0;
    int err = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (err != 0) {
        LogPrintf("OpenWithShell: cannot start xdg-open: %s", std::strerror(err));
        return;
    }
    g_children.push_back(pid);
}

IShellOpener* GetShellOpener() {
    static PosixShellOpener desktop;
    return g_shellOpener ? g_shellOpener : &desktop;
}

void SetShellOpener(IShellOpener* opener) { g_shellOpener = opener; }

void OpenWithShell(const std::string& target) {
    if (target.empty()) return;
    GetShellOpener()->Open(target);
}

}  // namespace kestrin
