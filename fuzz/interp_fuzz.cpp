// A boot script from the input runs for a few frames: jumps, calls, macros (one of them
// recursive), "$" values, text and click waits. No crash, no read out of bounds, no hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/FakeFileSystem.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/Platform/IShellOpener.h"

namespace {
// Dialogs and the desktop opener stay inside the process, and keep nothing.
class QuietMessageBox : public kestrin::IMessageBox {
public:
    int Show(const std::string&, const std::string&, int type) override { return kestrin::DefaultMessageBoxAnswer(type); }
};
class QuietShellOpener : public kestrin::IShellOpener {
public:
    void Run(const std::vector<std::string>&) override {}
};
}  // namespace
#include "SCRIPT/CMainScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::FakeFileSystem* files = [] {
        kestrin::CLogWindow::SetLineSink([](const std::string&) {});
        auto* fs = new kestrin::FakeFileSystem();
        fs->AddFile("macro.iet",
                    "*m\n[print data=$a]\n[return]\n*deep\n[deep]\n[return]\n*jumper\n[jump file=main label=x]\n");
        fs->AddFile("other.iet", "*x\n@\n[return]\n");
        kestrin::SetFileSystem(fs);
        static QuietMessageBox boxes;
        static QuietShellOpener opener;
        kestrin::SetMessageBox(&boxes);
        kestrin::SetShellOpener(&opener);
        kestrin::CDynamicVariables::GetInstance()->SetString("ini.Boot", "main.iet");
        kestrin::CDynamicVariables::GetInstance()->SetString("ini.Charset", "utf-8");
        return fs;
    }();
    files->AddFile("main.iet", std::string(reinterpret_cast<const char*>(data), size));
    kestrin::CMainScript script(nullptr);
    if (script.Start()) return 0;
    script.SetDebugMode(1);
    // Runaway loops yield after a bounded number of blocks instead of a real second.
    uint64_t ticks = 0;
    script.SetBudgetClock([&ticks] { return ticks += 10; });
    script.SetFrameBudget(100);
    uint32_t now = 0;
    for (int frame = 0; frame < 4 && script.GetState() != kestrin::CMainScript::STAT_QUIT; ++frame) {
        script.Update(now += 16);
        // Skipping ends click waits, so that later blocks run too.
        script.SetCommandSkip(true, true);
    }
    return 0;
}
