// System variables and the interpreter's shutdown.
#include <cstdio>

#include "CORE/CDynamicVariables.h"
#include "CORE/COruKeyConfig.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/CDebugTags.h"
#include "SCRIPT/tags/CEventTags.h"
#include "SCRIPT/tags/CHttpTags.h"
#include "SCRIPT/tags/CMessageTags.h"
#include "SCRIPT/tags/CSoundTags.h"
#include "SCRIPT/tags/CTweenTags.h"

namespace kestrin {

void CMainScript::InitSystemVariables() {
    CDynamicVariables* dynamic = CDynamicVariables::GetInstance();
    bool gles2 = false;
    m_variables->SetInt("s.opengles2capable", dynamic->TryGetBool("OpenGLES2Capable", gles2) ? 0 : (gles2 ? 1 : 0));
    char version[64];
    std::snprintf(version, sizeof version, "%d.%d.%d.%d", 1, 40, 0, 1316);
    m_variables->SetString("s.engineversion", version);
    m_variables->SetInt("s.minimumsupportversion", 1103);
    m_variables->SetInt("s.savedataversion", 1000);
    m_variables->SetString("s.datapath", dynamic->GetString("GameDataPath"));
    m_variables->SetString("s.savepath", dynamic->GetString("SaveDataPath"));
    m_variables->SetInt("s.status.automode", 0);
    m_variables->SetInt("s.status.commandskip", 0);
    m_variables->SetInt("s.status.controlskip", 0);
    m_variables->SetString("s.builddate", "Sat Dec 17 18:44:07 2011");
}

CMainScript::~CMainScript() {
    m_scripts.clear();
    static const char kExit[] = "EXIT";
    m_debug->Send(kExit, sizeof kExit);
    ReleaseServices();
}

}  // namespace kestrin
