#pragma once
// Hands a URL or path to the desktop's default handler ("open" verb).
#include <string>
#include <vector>

namespace kestrin {

class IShellOpener {
public:
    virtual ~IShellOpener() = default;
    // Runs the desktop's opener on a UTF-8 target: "xdg-open TARGET". The opener takes
    // no "--", so a target starting with '-' goes as the path "./-..." and is never read
    // as an option.
    void Open(const std::string& target);
    // Starts arguments[0] with exactly these arguments (no shell reads them) and returns
    // at once; failures are only logged.
    virtual void Run(const std::vector<std::string>& arguments) = 0;
};

// The service OpenWithShell uses: the one set last, else the desktop opener.
IShellOpener* GetShellOpener();
// Installs a service (not owned); null goes back to the desktop opener.
void SetShellOpener(IShellOpener* opener);

}  // namespace kestrin
