#pragma once
// The members of a game save. One table row per member id names the field of the decoded
// state, how the member is written and read, and what a restore needs it to hold; the
// writer, the reader and the check of a loaded save all walk the same rows.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CORE/COruKeyConfig.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/CScriptState.h"

namespace kestrin {

class CMainScript;
class COruVariables;
class CSerializer;

// Everything a game save holds, as values: filled from the interpreter to save, and from
// the archive to check before it replaces the interpreter's own. The defaults are the
// boot's, so that a member missing from a save leaves what the boot gave.
struct CSaveData::SGameState {
    SScriptState script;                       // the interpreter's saved fields
    COruKeyConfig keyConfig;                   // 65
    SRecords records;                          // the records of the save data
    std::shared_ptr<COruVariables> variables;  // 30
    // 64: the message layers drawn inside the layer tree, in the screen's order.
    std::vector<std::string> messageLayers;
    // 31, decoded only (it is written straight from the interpreter's backlog).
    std::unique_ptr<CBackLog> backlog;
};

struct SGameSaveMember {
    using State = CSaveData::SGameState;
    unsigned id = 0;
    const char* field = "";  // the path of the field in State
    // Writes the member under its id; false when the state leaves it out.
    std::function<bool(CSerializer&, State&)> save;
    std::function<void(CSerializer&, State&)> load;
    // The bytes save writes for this member.
    std::function<uint32_t(State&)> encodedSize;
    // What a restore relies on: true when the decoded value cannot be restored, with the
    // value to report under fault.
    const char* fault = nullptr;
    std::function<bool(State&, CMainScript&, long& bad)> damaged;
};

// Every member in the order a save writes them (the backlog, member 31, comes last and
// only with the backlog; it is not a row).
const std::vector<SGameSaveMember>& GameSaveMembers();

}  // namespace kestrin
