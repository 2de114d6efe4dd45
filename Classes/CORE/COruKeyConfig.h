#pragma once
// The interpreter's key configuration: saved with its state (the key sets, not the
// wheel bindings). The interpreter names it CMainScript::COruKeyConfig.
#include "CORE/CKeyConfig.h"
#include "CORE/ISerializable.h"

namespace kestrin {

// What each role of the interpreter's key configuration does; scripts name roles by these
// numbers (keyconfig tag), so they never change.
enum EKeyRole : int {
    kRoleAdvance = 0,        // end a click wait, a transition or a skippable movie
    kRoleOpenRightClick,     // open the right-click script; end a movie in video skip mode 2
    kRoleLeaveRightClick,    // leave the right-click script
    kRoleHide,               // hide the message window
    kRoleShow,               // show the message window again
    kRoleOpenBacklog,        // open the backlog
    kRoleLeaveBacklog,       // leave the backlog
    kRoleBacklogOlder,       // backlog one page older
    kRoleBacklogNewer,       // backlog one page newer
    kRoleAutoModeStart,      // start automode
    kRoleAutoModeStopClick,  // stop automode (automode stop by click on)
    kRoleAutoModeStop,       // stop automode (automode stop by click off)
    kRoleCommandSkipStart,   // start command skip
    kRoleCommandSkipStop,    // stop command skip
    kRoleControlSkip,        // control skip while held
    kRoleCount
};

class COruKeyConfig : public CKeyConfig, public ISerializable {
public:
    COruKeyConfig();
    ~COruKeyConfig() override;

    // The roles every game starts with, before any script changes them.
    void SetDefaultBindings();

    void Save(CSerializer* serializer) override;
    void Load(CSerializer* serializer) override;
};

}  // namespace kestrin
