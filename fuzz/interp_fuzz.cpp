// A boot script from the input runs for a few frames: jumps, calls, macros (one of them
// recursive), "$" values, text and click waits. No crash, no read out of bounds, no hang.
// Each input gets a bounded amount of work (see the budget clock below), not of time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/Platform/IShellOpener.h"

namespace {
// Dialogs and the desktop opener stay inside the process, and keep nothing.
class QuietMessageBox : public kestrin::IMessageBox {
public:
    int Show(const std::string&, const std::string&, int type) override {
        return kestrin::DefaultMessageBoxAnswer(type);
    }
};
class QuietShellOpener : public kestrin::IShellOpener {
public:
    void Run(const std::vector<std::string>&) override {}
};
}  // namespace
#include "SCRIPT/CMainScript.h"

namespace {
// Bytes of log lines written for the current input.
uint64_t g_logged = 0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::HeadlessFileSystem* files = [] {
        kestrin::CLogWindow::SetLineSink([](const std::string& line) { g_logged += line.size(); });
        auto* fs = new kestrin::HeadlessFileSystem();
        fs->AddFile("macro.iet",
                    "*m\n[print data=$a]\n[return]\n*deep\n[deep]\n[return]\n*jumper\n[jump file=main label=x]\n");
        fs->AddFile("other.iet", "*x\n@\n[return]\n");
        static QuietMessageBox boxes;
        static QuietShellOpener opener;
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.fileSystem = kestrin::Unowned(*fs);
        services.messageBox = kestrin::Unowned(boxes);
        services.shellOpener = kestrin::Unowned(opener);
        static kestrin::PlatformServicesScope scope(services);
        kestrin::CDynamicVariables::GetInstance()->SetString("ini.Boot", "main.iet");
        kestrin::CDynamicVariables::GetInstance()->SetString("ini.Charset", "utf-8");
        return fs;
    }();
    files->AddFile("main.iet", std::string(reinterpret_cast<const char*>(data), size));
    g_logged = 0;
    kestrin::CMainScript script(nullptr);
    if (script.Start()) return 0;
    // Only level-0 lines are traced: a deep call stack indents every line by two spaces a
    // level, and tracing each block there costs far more than running it. (The trace's
    // own code still runs for level-0 lines, and for scripts that raise the level.)
    script.SetTraceLevel(0);
    script.SetDebugMode(1);
    // The frame budget counts work instead of time, so that runaway loops yield after a
    // bounded amount of it whatever the machine: 10 ms for each look at the clock (one
    // every 256 blocks) and 1 ms for each kilobyte of log.
    uint64_t looks = 0;
    script.SetBudgetClock([&looks] { return (looks += 10) + g_logged / 1024; });
    script.SetFrameBudget(100);
    uint32_t now = 0;
    for (int frame = 0; frame < 4 && script.GetState() != kestrin::CMainScript::STAT_QUIT; ++frame) {
        script.Update(now += 16);
        // Skipping ends click waits, so that later blocks run too.
        script.SetCommandSkip(true, true);
    }
    return 0;
}
