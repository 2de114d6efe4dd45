#pragma once
// The members of a game save. One table row per member id names the field of the decoded
// state, how the member is written and read, and what a restore needs it to hold; the
// writer, the reader and the check of a loaded save all walk the same rows.
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
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
    SScriptState script;  // the interpreter's saved fields
    COruKeyConfig keyConfig;
    SRecords records;  // the records of the save data
    std::shared_ptr<COruVariables> variables;
    // The message layers drawn inside the layer tree, in the screen's order.
    std::vector<std::string> messageLayers;
    // Decoded only (it is written straight from the interpreter's backlog).
    std::unique_ptr<CBackLog> backlog;
    // The ids of the members a loaded save holds.
    std::set<unsigned> present;
};

// The id of each member of a game save, as stored files hold them: never renumber one. The
// backlog is written apart from the table, after the rows.
struct SaveMember {
    enum Id : unsigned {
        AutoModeAllowed = 1,
        SkipAllowed = 2,
        Caret = 3,
        CallStack = 4,
        AutoSaveMode = 5,
        RightClickAllowed = 6,
        RightClickMode = 7,
        RightClickDepth = 8,
        DebugMode = 9,
        MessageLayerName = 11,
        MessageLayerStack = 12,
        TextTweenIn = 13,
        TextTweenOut = 14,
        HideAllowed = 15,
        HideLayers = 16,
        BacklogAllowed = 17,
        GlyphSettings = 18,
        AutoModeIcons = 19,
        BacklogLayers = 20,
        PageRecords = 24,
        FontStacks = 25,
        LayerRecord = 26,
        MusicRecorded = 28,
        MusicBlock = 29,
        Variables = 30,
        Backlog = 31,
        EventDirChange = 33,
        LuaEnterFrame = 34,
        AutoModeSyncSounds = 35,
        MacroFiles = 36,
        BacklogHideLayers = 37,
        LuaClickWaitIn = 38,
        TraceLevel = 39,
        EventAutoModeIn = 40,
        EventAutoModeOut = 41,
        EventCommandSkipIn = 42,
        EventCommandSkipOut = 43,
        EventControlSkipIn = 44,
        EventControlSkipOut = 45,
        EventHideIn = 46,
        EventHideOut = 47,
        EventBacklogIn = 48,
        EventBacklogOut = 49,
        LuaClickWaitOut = 50,
        RightClickScript = 51,
        WriteBacklog = 52,
        SoundRecord = 53,
        PushKeys = 56,
        AutoModeStopByClick = 57,
        AutoModeStopByStop = 58,
        TextTweenShow = 59,
        TextTweenHide = 60,
        IncludeFonts = 61,
        BacklogMessageLayer = 62,
        DefaultFont = 63,
        MessageLayers = 64,
        KeyConfig = 65,
        PageProhibitBlocks = 66,
        PendingProhibitBlocks = 67,
    };
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

// Every member in the order a save writes them (the backlog comes last and only with the
// backlog; it is not a row).
const std::vector<SGameSaveMember>& GameSaveMembers();

}  // namespace kestrin
