#include "CORE/Platform/IShellOpener.h"

namespace kestrin {

void IShellOpener::Open(const std::string& target) {
    if (target.empty()) return;
    Run({"xdg-open", target[0] == '-' ? "./" + target : target});
}

}  // namespace kestrin
