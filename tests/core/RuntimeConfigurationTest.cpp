#include "CORE/RuntimeConfiguration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace kestrin;

TEST(RuntimeConfiguration, ReadFromTheEnvironment) {
    using Env = std::map<std::string, std::string>;
    struct Case {
        Env env;
        bool logWindow, hardwareRender;
        const char* port;
        const char* channel;
    } cases[] = {
        {{}, true, false, "", ""},
        {{{"KESTRIN_LOG_WINDOW", "0"}, {"KESTRIN_HARDWARE_RENDER", "1"}}, false, true, "", ""},
        // Only "0" closes the window and only "1" keeps the hardware renderer.
        {{{"KESTRIN_LOG_WINDOW", "1"}, {"KESTRIN_HARDWARE_RENDER", "yes"}}, true, false, "", ""},
        {{{"KESTRIN_LOG_WINDOW", ""}, {"KESTRIN_HARDWARE_RENDER", ""}}, true, false, "", ""},
        // Port and channel are kept as given: their users say what is wrong with them.
        {{{"KESTRIN_DEBUG_PORT", "80x"}, {"KESTRIN_DEBUG_CHANNEL", "a/b"}}, true, false, "80x", "a/b"},
    };
    for (const Case& c : cases) {
        const RuntimeConfiguration r = ReadRuntimeConfiguration([&](const char* name) -> const char* {
            auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(r.logWindow, c.logWindow);
        EXPECT_EQ(r.hardwareRender, c.hardwareRender);
        EXPECT_EQ(r.debugPort, c.port);
        EXPECT_EQ(r.debugChannel, c.channel);
    }
}
