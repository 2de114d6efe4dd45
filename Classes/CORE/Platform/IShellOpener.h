#pragma once
// Hands a URL or path to the desktop's default handler ("open" verb).
#include <string>

namespace kestrin {

class IShellOpener {
public:
    virtual ~IShellOpener() = default;
    // Starts the handler and returns at once; failures are only logged.
    virtual void Open(const std::string& target) = 0;
};

// The service OpenWithShell uses: the one set last, else the desktop opener.
IShellOpener* GetShellOpener();
// Installs a service (not owned); null goes back to the desktop opener.
void SetShellOpener(IShellOpener* opener);

}  // namespace kestrin
