#include "CORE/RuntimeConfiguration.h"

#include <cstdlib>
#include <cstring>

namespace kestrin {

namespace {
RuntimeConfiguration& Installed() {
    static RuntimeConfiguration configuration;
    return configuration;
}
}  // namespace

RuntimeConfiguration ReadRuntimeConfiguration(const std::function<const char*(const char*)>& lookup) {
    auto get = [&](const char* name) -> const char* { return lookup ? lookup(name) : std::getenv(name); };
    RuntimeConfiguration c;
    const char* logWindow = get("KESTRIN_LOG_WINDOW");
    c.logWindow = !(logWindow && std::strcmp(logWindow, "0") == 0);
    const char* hardware = get("KESTRIN_HARDWARE_RENDER");
    c.hardwareRender = hardware && std::strcmp(hardware, "1") == 0;
    if (const char* port = get("KESTRIN_DEBUG_PORT")) c.debugPort = port;
    if (const char* channel = get("KESTRIN_DEBUG_CHANNEL")) c.debugChannel = channel;
    return c;
}

const RuntimeConfiguration& GetRuntimeConfiguration() { return Installed(); }

void SetRuntimeConfiguration(const RuntimeConfiguration& configuration) { Installed() = configuration; }

}  // namespace kestrin
