#pragma once
// Steps after the save folder is fixed: create the application object and its window,
// then run the main loop until it ends. Deletes the application object before returning.

#include <cstdint>
#include <string>

namespace kestrin {

enum class RunResult {
    Finished,  // the main loop ran and ended
    Failed,    // the window or the boot script failed: the caller shows the start-up error
    NotBuilt,  // this build has no window yet: start-up ends here
};

// showCommand: how the window is first shown (1 normal). On Failed, failure (when given)
// says what is missing or too large, and where it was looked for.
RunResult RunApplication(int showCommand, std::string* failure = nullptr);

// The window style that "system.ini" asks for: frameless, resizable or a fixed frame.
uint32_t WindowStyleFromIni();

}  // namespace kestrin
