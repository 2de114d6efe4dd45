#pragma once
// Settings the engine takes from the environment. The start-up code reads the environment
// once (ReadRuntimeConfiguration) and installs the result; the engine reads only this
// object, so a test sets what it needs here instead of in the environment.
#include <functional>
#include <string>

namespace kestrin {

struct RuntimeConfiguration {
    // KESTRIN_LOG_WINDOW: "0" keeps the log window closed.
    bool logWindow = true;
    // KESTRIN_HARDWARE_RENDER: "1" keeps the hardware renderer on a software rasteriser.
    bool hardwareRender = false;
    // KESTRIN_DEBUG_PORT as given ("" when unset): the debug server checks it.
    std::string debugPort;
    // KESTRIN_DEBUG_CHANNEL as given ("" when unset): the debug channel checks it.
    std::string debugChannel;
};

// The settings from an environment lookup (std::getenv by default; a name that is not set
// gives null).
[[nodiscard]] RuntimeConfiguration ReadRuntimeConfiguration(
    const std::function<const char*(const char*)>& lookup = nullptr);

// The installed settings; the defaults until something is installed.
const RuntimeConfiguration& GetRuntimeConfiguration();
void SetRuntimeConfiguration(const RuntimeConfiguration& configuration);

}  // namespace kestrin
