#include "Application/RunApplication.h"

#include "Application/CKestrin.h"
#include "Application/CKestrinScreen.h"
#include "Application/EngineFactories.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"

namespace kestrin {

uint32_t WindowStyleFromIni() {
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    if (dv->GetBool("ini.Frameless")) return kWsPopup;
    if (dv->GetBool("ini.Resizable")) return kWsOverlappedWindow;
    return kWsFixedFrame;
}

RunResult RunApplication(int showCommand) {
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    CKestrin::SetFactories(CKestrinScreen::Factory(), DefaultScriptFactory());
    CKestrin* application = new CKestrin();
    RunResult result = RunResult::Finished;
    if (application->Create(kCentred, kCentred, dv->GetInt("ini.Width"), dv->GetInt("ini.Height"), "Kestrin", "",
                            WindowStyleFromIni(), showCommand, 0)) {
        result = RunResult::Failed;
    } else {
        application->Run();
    }
    delete application;
    return result;
}

}  // namespace kestrin
