#include "Application/PlatformServicesScope.h"

namespace kestrin {

PlatformServicesScope::PlatformServicesScope(const SPlatformServices& services)
    : m_previous(InstalledPlatformServices()), m_failed(InstallPlatformServices(services)) {}

PlatformServicesScope::~PlatformServicesScope() {
    if (m_failed) return;
    // None installed before: every area goes back to its own default.
    if (MissingPlatformServices(m_previous).empty()) {
        InstallPlatformServices(m_previous);
    } else {
        UninstallPlatformServices();
    }
}

}  // namespace kestrin
