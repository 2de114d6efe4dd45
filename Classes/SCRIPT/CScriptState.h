#pragma once
// The interpreter state that a game save stores, with the values a boot gives it. The
// interpreter holds one SScriptState by value; a save copies it, a restore replaces it, and
// a boot assigns a fresh one, so every default is written here and nowhere else.
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CORE/CPoint.h"
#include "CORE/ISerializable.h"
#include "SCRIPT/CScriptBlock.h"
#include "TEXT/CFontProperty.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

// Where the interpreter is: file, next block, waits and the injected-block queue
// (CMainScript::CCaret).
class CCaret : public ISerializable {
public:
    CCaret() = default;
    CCaret(const CCaret&) = default;
    CCaret& operator=(const CCaret&) = default;
    ~CCaret() override = default;

    void Save(CSerializer* archive) override;
    void Load(CSerializer* archive) override;

    int GetStatus() const { return status; }
    void SetStatus(int s) {
        previousStatus = status;
        status = s;
    }
    void RestoreStatus() { status = previousStatus; }
    void Assign(const CCaret& other) { *this = other; }

    std::string file;
    int32_t index = 0;
    uint32_t wakeTime = 0;
    bool waitForText = false;
    bool waitForClear = false;
    std::deque<CScriptBlock> queue;
    bool glyphShown = false;
    int status = 0;
    int previousStatus = 0;
};

// Click-wait glyph settings of one message layer (glyph tag; CMainScript::CGlyphInfo).
class CGlyphInfo : public ISerializable {
public:
    ~CGlyphInfo() override = default;
    void Save(CSerializer* archive) override;
    void Load(CSerializer* archive) override;

    bool homing = false;
    bool lineGlyphSet = false;
    bool pageGlyphSet = false;
    std::string lineGlyphLayer;
    std::string pageGlyphLayer;
    CPoint linePosition;
    CPoint pagePosition;
};

// An icon layer tied to a message layer (automode and backlog tags; CMainScript::CIconInfo).
class CIconInfo : public ISerializable {
public:
    ~CIconInfo() override = default;
    void Save(CSerializer* archive) override;
    void Load(CSerializer* archive) override;

    bool enabled = false;
    std::string layerId;
};

// The text tween presets of one occasion, per message layer name (scetween).
using TextTweenMap = std::map<std::string, std::vector<CTextRenderer::CTweenInfo>>;

// Indexes of the state's per-event and per-occasion arrays. The interpreter derives from this
// so that they read CMainScript::EVENT_HIDEIN and so on.
struct SScriptStateIndexes {
    // The eleven event blocks.
    enum : int {
        EVENT_AUTOMODEIN = 0,
        EVENT_AUTOMODEOUT,
        EVENT_COMMANDSKIPIN,
        EVENT_COMMANDSKIPOUT,
        EVENT_CONTROLSKIPIN,
        EVENT_CONTROLSKIPOUT,
        EVENT_HIDEIN,
        EVENT_HIDEOUT,
        EVENT_BACKLOGIN,
        EVENT_BACKLOGOUT,
        EVENT_DIRCHG,
        EVENT_COUNT
    };
    // The occasions of the text tween presets.
    enum : int { TEXT_TWEEN_IN = 0, TEXT_TWEEN_OUT, TEXT_TWEEN_SHOW, TEXT_TWEEN_HIDE, TEXT_TWEEN_COUNT };
};

// The saved fields of the interpreter, grouped by concern. Each was the interpreter's
// field m_<name> and keeps that name.
struct SScriptState {
    // Mode switches and their icons.
    bool autoModeAllowed = false;
    std::map<std::string, CIconInfo> autoModeIcons;  // automode icon per message layer
    bool skipAllowed = true;
    bool rightClickAllowed = false;
    std::string rightClickScript = "rclick.iet";
    bool rightClickMode = false;
    int32_t rightClickDepth = 0;  // call depth when the right-click script was called
    int32_t autoSaveMode = 0;     // 0, 1, 2
    bool autoModeStopByClick = true;
    bool autoModeStopByStop = true;
    std::vector<std::string> autoModeSyncSounds;  // sound ids automode waits for
    bool hideAllowed = false;
    std::set<std::string> hideLayers;  // hidden with the message window
    bool backlogAllowed = false;
    bool writeBacklog = true;  // pages go to the backlog
    bool includeFonts = true;  // font tags stored with backlog pages
    std::string backlogMessageLayer = "backlog";
    std::set<std::string> backlogHideLayers;
    std::map<std::string, CIconInfo> backlogLayers;  // layer bound to each message layer's backlog

    // Position: macro files, caret and call stack.
    std::vector<std::string> macroFiles{"macro.iet"};
    CCaret caret;
    std::deque<CCaret> callStack;

    // Debug links.
    int32_t debugMode = 0;
    int32_t traceLevel = 3;

    // Message layers and fonts.
    std::string messageLayerName;                                    // the current message layer
    std::deque<std::string> messageLayerStack;                       // of chgmsg
    CFontProperty defaultFont;                                       // what fontinit returns a layer to
    TextTweenMap textTweens[SScriptStateIndexes::TEXT_TWEEN_COUNT];  // by TEXT_TWEEN_*
    std::map<std::string, CGlyphInfo> glyphSettings;

    // Event bindings.
    std::map<int, CScriptBlock> pushKeys;                        // setonpush handlers by key
    CScriptBlock eventBlocks[SScriptStateIndexes::EVENT_COUNT];  // by EVENT_*
    std::string luaEnterFrame;
    std::string luaClickWaitIn;
    std::string luaClickWaitOut;
};

}  // namespace kestrin
