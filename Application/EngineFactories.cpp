#include "Application/EngineFactories.h"

#include <memory>

#include "Application/CKestrinScreen.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/Platform/IFramePresenter.h"
#include "SCRIPT/CMainScript.h"

namespace kestrin {

namespace {

class CPresentingScreen : public CKestrin::IScreen {
public:
    CPresentingScreen(CKestrin& application, std::shared_ptr<IFramePresenter> presenter)
        : screen(new CMainScreen(&application, std::move(presenter))) {}
    void Update() override { screen->Update(); }
    void Draw() override { screen->Draw(); }
    bool IsSoftwareRender() const override { return screen->IsSoftware(); }

    std::unique_ptr<CMainScreen> screen;
};

class CScriptAdapter : public CKestrin::IScript {
public:
    explicit CScriptAdapter(CMainScreen* screen) : script(new CMainScript(screen)) {}
    bool Start(int mode) override {
        (void)mode;
        return script->Start();
    }
    void Update(uint32_t now) override { script->Update(now); }
    void Idle() override { script->Idle(); }
    int GetState() const override { return script->GetState(); }
    bool IsSkipping() const override { return script->IsSkipping(); }
    void Leave() override { script->Leave(); }
    void ToggleFullScreen() override { script->ToggleFullScreen(); }
    void UpdateTextFieldRect() override { script->UpdateTextFieldRect(); }

    std::unique_ptr<CMainScript> script;
};

}  // namespace

CKestrin::ScriptFactory MainScriptFactory() {
    return [](CKestrin&, CKestrin::IScreen* screen) -> std::unique_ptr<CKestrin::IScript> {
        return std::make_unique<CScriptAdapter>(GetMainScreen(screen));
    };
}

CKestrin::ScriptFactory& DefaultScriptFactory() {
    static CKestrin::ScriptFactory factory;
    return factory;
}

CKestrin::ScreenFactory PresentingScreenFactory(PresenterMaker presenter) {
    return [presenter](CKestrin& application) -> std::unique_ptr<CKestrin::IScreen> {
        return std::make_unique<CPresentingScreen>(application, presenter ? presenter(application) : nullptr);
    };
}

CMainScreen* GetMainScreen(CKestrin::IScreen* screen) {
    if (auto* own = dynamic_cast<CPresentingScreen*>(screen)) return own->screen.get();
    if (auto* application = dynamic_cast<CKestrinScreen*>(screen)) return application->GetScreen();
    return nullptr;
}

CMainScript* GetMainScript(CKestrin::IScript* script) {
    auto* adapter = dynamic_cast<CScriptAdapter*>(script);
    return adapter ? adapter->script.get() : nullptr;
}

}  // namespace kestrin
