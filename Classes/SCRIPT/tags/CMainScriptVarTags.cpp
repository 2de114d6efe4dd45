// The var tag: plain assignment and the system functions (tags/VarFunctions.h). An
// unknown function name does nothing.
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/VarFunctions.h"

namespace kestrin {

bool CMainScript::TagVar(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string& name = block.GetAttribute("name");
    std::string data;
    if (!block.LacksAttribute("data", data)) {
        m_variables->SetString(name, data);
        return false;
    }
    const std::string& system = block.GetAttribute("system");
    if (system == "var_exist") {
        const std::string& target = block.GetAttribute("target");
        int32_t exists = 0;
        if (TagFlag(block, "local")) {
            COruVariables* scope = m_variables->GetLocalScope();
            exists = scope && scope->Find(target) ? 1 : 0;
        } else {
            exists = m_variables->Find(target) ? 1 : 0;
        }
        m_variables->SetInt(name, exists);
    } else if (VarFunction function = FindVarFunction(system)) {
        function(*this, block);
    }
    return false;
}

}  // namespace kestrin
