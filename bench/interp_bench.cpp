// Interpreter throughput: no-op blocks, blocks with "$" substitution, and an idle frame
// during a click wait.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CInput.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"

namespace fs = std::filesystem;
using kestrin::CDynamicVariables;
using kestrin::CMainScript;

namespace {

// A game folder with one boot script, entered for the life of the object.
class ScratchGame {
public:
    explicit ScratchGame(const std::string& mainScript) {
        m_old = fs::current_path();
        m_dir = fs::temp_directory_path() / ("kestrin-bench-" + std::to_string(std::random_device()()));
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "main.iet", std::ios::binary) << mainScript;
        fs::current_path(m_dir);
        CDynamicVariables::GetInstance()->SetString("ini.Boot", "main.iet");
        CDynamicVariables::GetInstance()->SetString("ini.Charset", "utf-8");
        script.reset(new CMainScript(nullptr));
        if (script->Start()) throw std::runtime_error("boot failed");
    }
    ~ScratchGame() {
        script.reset();
        fs::current_path(m_old);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::unique_ptr<CMainScript> script;

private:
    fs::path m_old;
    fs::path m_dir;
};

// Runs the script from its first block until it waits; returns the blocks executed.
void RunToClickWait(CMainScript& script, uint32_t& now) {
    script.Jump("", "");
    script.Update(now += 16);
    if (script.GetState() != CMainScript::STAT_CLICK) throw std::runtime_error("script did not reach its click wait");
}

void BM_NoOpBlocks(benchmark::State& state) {
    const int count = 100000;
    std::string text;
    for (int i = 0; i < count; ++i) text += "*l" + std::to_string(i) + "\n";
    text += "@\n";
    ScratchGame game(text);
    uint32_t now = 0;
    RunToClickWait(*game.script, now);
    for (auto _ : state) RunToClickWait(*game.script, now);
    state.SetItemsProcessed(state.iterations() * (count + 1));
}
BENCHMARK(BM_NoOpBlocks)->Unit(benchmark::kMillisecond);

// Assignments and conditions when their tags exist; otherwise jumps through "$" labels,
// which exercise the same substitution and dispatch.
void BM_SubstitutedBlocks(benchmark::State& state) {
    const int count = 20000;
    bool haveVar = CMainScript::FindTag("var") && CMainScript::FindTag("if");
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (haveVar) {
            text += "[var name=t.a data=$t.b]\n[if estimate=$t.c]\n[/if]\n";
        } else {
            text += "*l" + std::to_string(i) + "\n[jump label=$t.next" + std::to_string(i) + "]\n";
        }
    }
    text += "*l" + std::to_string(count) + "\n@\n";
    ScratchGame game(text);
    auto& vars = game.script->GetVariables();
    vars.SetInt("t.b", 7);
    vars.SetInt("t.c", 1);
    for (int i = 0; i < count; ++i) vars.SetString("t.next" + std::to_string(i), "l" + std::to_string(i + 1));
    uint32_t now = 0;
    RunToClickWait(*game.script, now);
    for (auto _ : state) RunToClickWait(*game.script, now);
    state.SetItemsProcessed(state.iterations() * count * (haveVar ? 3 : 2));
    state.SetLabel(haveVar ? "var/if" : "jump $label");
}
BENCHMARK(BM_SubstitutedBlocks)->Unit(benchmark::kMillisecond);

// The whole frame of a game waiting for a click: tweens, the input poll and the interpreter.
void BM_IdleClickWaitFrame(benchmark::State& state) {
    auto windows = std::make_shared<kestrin::HeadlessWindowSystem>();
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.windowSystem = windows;
    std::optional<kestrin::PlatformServicesScope> scope(std::in_place, services);
    kestrin::SWindowDesc desc;
    desc.width = 800;
    desc.height = 600;
    auto window = windows->CreateWindow(desc);
    windows->SetFocus(window);
    kestrin::CInput* input = kestrin::CInput::CreateInstance(window);
    {
        ScratchGame game("@\n");
        uint32_t now = 0;
        game.script->Update(now += 16);
        if (game.script->GetState() != CMainScript::STAT_CLICK) throw std::runtime_error("no click wait");
        for (auto _ : state) {
            now += 16;
            kestrin::UpdateTweens(now);
            input->Update(now);
            game.script->Update(now);
        }
    }
    kestrin::CInput::ReleaseInstance();
    scope.reset();
}
BENCHMARK(BM_IdleClickWaitFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The same frame with the screen's passes: an 800x600 picture and a translucent message window,
// updated, drawn and presented (to a headless window) as the game loop does; idle frames that
// change nothing are counted in "skipped".
void BM_IdleClickWaitWholeFrame(benchmark::State& state) {
    auto windows = std::make_shared<kestrin::HeadlessWindowSystem>();
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.windowSystem = windows;
    std::optional<kestrin::PlatformServicesScope> scope(std::in_place, services);
    kestrin::SWindowDesc desc;
    desc.width = 800;
    desc.height = 600;
    auto window = windows->CreateWindow(desc);
    windows->SetFocus(window);
    kestrin::CInput* input = kestrin::CInput::CreateInstance(window);
    CDynamicVariables::GetInstance()->SetMap("ApplicationArguments", {{"fsr", ""}});
    CDynamicVariables::GetInstance()->SetInt("ini.Width", 800);
    CDynamicVariables::GetInstance()->SetInt("ini.Height", 600);
    {
        kestrin::CMainScreen screen(nullptr, std::make_shared<kestrin::HeadlessFramePresenter>(0, 800, 600));
        if (!screen.IsReady()) throw std::runtime_error("no renderer");
        auto add = [&](const char* name, int w, int h, uint32_t colour, int y) {
            std::shared_ptr<kestrin::ISurface> image = screen.GetSurfaceFactory()->Create();
            image->Init(w, h, kestrin::ISurface::kPixel32Alpha, 0);
            image->Fill(colour);
            std::shared_ptr<kestrin::ILayer> layer = screen.GetLayerFactory()->Create();
            layer->SetSurface(image);
            layer->SetY(y);
            screen.GetRootLayer()->AddChild(name,
                                            kestrin::COruLayer::COruLayerWithLayer(screen.GetSurfaceManager(), layer));
        };
        add("bg", 800, 600, 0xFF406080u, 0);
        add("message", 800, 200, 0xA0000000u, 400);
        screen.Flip();
        ScratchGame game("@\n");
        uint32_t now = 0;
        game.script->Update(now += 16);
        if (game.script->GetState() != CMainScript::STAT_CLICK) throw std::runtime_error("no click wait");
        const uint64_t skippedBefore = screen.GetSkippedFrames();
        for (auto _ : state) {
            now += 16;
            kestrin::UpdateTweens(now);
            input->Update(now);
            game.script->Update(now);
            screen.Update();
            benchmark::DoNotOptimize(screen.Draw());
        }
        state.counters["skipped"] = double(screen.GetSkippedFrames() - skippedBefore);
    }
    CDynamicVariables::ReleaseInstance();
    kestrin::CInput::ReleaseInstance();
    scope.reset();
}
BENCHMARK(BM_IdleClickWaitWholeFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
