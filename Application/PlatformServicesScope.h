#pragma once
// Installs a set of platform services for a while (a test, a harness run, the program's
// run) and puts back what was installed before when it ends.
#include "Application/PlatformServices.h"

namespace kestrin {

class PlatformServicesScope {
public:
    explicit PlatformServicesScope(const SPlatformServices& services);
    ~PlatformServicesScope();
    PlatformServicesScope(const PlatformServicesScope&) = delete;
    PlatformServicesScope& operator=(const PlatformServicesScope&) = delete;

    // True when the set was refused (an empty member); nothing was changed then.
    bool Failed() const { return m_failed; }

private:
    SPlatformServices m_previous;
    bool m_failed;
};

}  // namespace kestrin
