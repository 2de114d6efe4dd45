#include "Application/RunApplication.h"

#include "CORE/CLogWindow.h"

namespace kestrin {

RunResult RunApplication(int showCommand) {
    (void)showCommand;
    LogPrintf("Kestrin: the window and main loop are not built yet; start-up ends here");
    return RunResult::NotBuilt;
}

}  // namespace kestrin
