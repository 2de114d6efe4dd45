#include "Application/RunApplication.h"

#include "Application/CKestrin.h"
#include "Application/CKestrinScreen.h"
#include "Application/EngineFactories.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/StartUp.h"

namespace kestrin {

uint32_t WindowStyleFromIni() {
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    if (dv->GetBool("ini.Frameless")) return kWsPopup;
    if (dv->GetBool("ini.Resizable")) return kWsOverlappedWindow;
    return kWsFixedFrame;
}

namespace {
std::string DescribeFailure(const CKestrin& application, int width, int height) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    switch (application.GetStartFailure()) {
        case CKestrin::EStartFailure::WindowTooLarge:
            return "the game window of " + size + " (WIDTH and HEIGHT of system.ini) does not fit the desktop of " +
                   std::to_string(application.GetDesktopWidth()) + "x" + std::to_string(application.GetDesktopHeight());
        case CKestrin::EStartFailure::BootScript: return DescribeBootScriptFailure();
        default: return "the game window of " + size + " could not be made";
    }
}
}  // namespace

RunResult RunApplication(int showCommand, std::string* failure) {
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    CKestrin::SetFactories(CKestrinScreen::Factory(), DefaultScriptFactory());
    CKestrin* application = new CKestrin();
    RunResult result = RunResult::Finished;
    if (application->Create(kCentred, kCentred, dv->GetInt("ini.Width"), dv->GetInt("ini.Height"), "Kestrin", "",
                            WindowStyleFromIni(), showCommand, 0)) {
        result = RunResult::Failed;
        if (failure) *failure = DescribeFailure(*application, dv->GetInt("ini.Width"), dv->GetInt("ini.Height"));
    } else {
        application->Run();
    }
    delete application;
    return result;
}

}  // namespace kestrin
