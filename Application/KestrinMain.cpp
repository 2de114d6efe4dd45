#include "CORE/CLogWindow.h"

// Placeholder start-up: replaced by the real sequence in Application/.
int KestrinMain(int argc, char** argv) {
    (void)argc;
    (void)argv;
    kestrin::LogPrintf("Kestrin: start-up is not built yet");
    kestrin::CLogWindow::ReleaseInstance();
    return 0;
}
