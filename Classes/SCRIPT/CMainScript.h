#pragma once
// The scenario interpreter: owns the loaded scripts, the caret and its call stack, the
// variables and the mode switches, and advances the script once per frame.
//
// The interpreter is split over several source files:
//   CMainScript.cpp          construction, boot and the per-frame loop
//   CMainScriptBlocks.cpp    executing one block, the tag lookup and macro calls
//   CMainScriptCaret.cpp     caret, call stack, labels, script cache, messages and trace
//   CMainScriptState.cpp     status changes, waits and the mode switches
//   CMainScriptEvents.cpp    the event tags' family (tags/CEventTags.cpp) and its host side
//   CMainScriptHostLinks.cpp the HTTP and debug tags' families (tags/CHttpTags.cpp,
//                            tags/CDebugTags.cpp) and their host side
//   CMainScriptLua.cpp       the Lua host, the "lua" blocks and the Lua event handlers
//   CMainScriptMessages.cpp  the ruby, font and glyph tags' family (tags/CMessageTags.cpp)
//                            and its host side
//   CMainScriptSaveData.cpp  the save data, global and system data, autosave
//   CMainScriptServices.cpp  calls into the screen, network and backlog
//   CMainScriptSound.cpp     the sound tags' family (tags/CSoundTags.cpp) and its host side
//   CMainScriptSystem.cpp    system variables and shutdown
//   CMainScriptTweens.cpp    the tween and transition tags' family (tags/CTweenTags.cpp) and
//                            its host side
// Tag handlers live in tags/; tags/CMainScriptTagTable.cpp lists every tag name with its
// handler, and a name missing there is a macro call.
#include <array>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "CORE/ISerializable.h"
#include "CORE/CPoint.h"
#include "SCRIPT/CScriptBlock.h"
#include "SCRIPT/CScriptBlockList.h"
#include "SCRIPT/CScriptState.h"
#include "SCRIPT/IDebugTagHost.h"
#include "SCRIPT/IEventTagHost.h"
#include "SCRIPT/IHttpTagHost.h"
#include "SCRIPT/ILuaScriptHost.h"
#include "SCRIPT/IMessageTagHost.h"
#include "SCRIPT/ISoundTagHost.h"
#include "SCRIPT/ITweenTagHost.h"
#include "TEXT/CFontProperty.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

class CMainScreen;
class COruLayer;
class CInput;
class COruVariables;
class COruKeyConfig;
enum EKeyRole : int;
class CLinkableTextRenderer;
class CSoundManager;
class CSoundTags;
class CHttpTags;
class CMessageTags;
class CDebugTags;
class CEventTags;
class COruLua;
class CSaveData;
class CBackLog;
class CTweenTags;
class IDisplayObject;
class ITextField;
class IIme;

// Seconds since 1970 as 32 bits, from the clock service; seeds the interpreter's random
// generator.
uint32_t GetScriptUnixTime();

class CMainScript : public SScriptStateIndexes,
                    public SLayerEventTypes,
                    private ISoundTagHost,
                    private IHttpTagHost,
                    private IDebugTagHost,
                    private ITweenTagHost,
                    private ILuaScriptHost,
                    private IMessageTagHost,
                    private IEventTagHost {
public:
    // Caret status (the interpreter's state machine).
    typedef int STAT;
    enum : int {
        STAT_RUN = 0,
        STAT_CLICK = 1,
        STAT_TRANSITION = 2,
        STAT_STOP = 3,
        STAT_WAIT = 4,
        STAT_HIDDEN = 5,
        STAT_BACKLOG = 6,
        STAT_VIDEO = 7,
        STAT_HTTP = 8,
        STAT_IDLE = 9,
        STAT_RESTORING = 11,
        STAT_QUIT = 12,
    };

    // The caret, the glyph settings and the icon records (CScriptState.h).
    using CCaret = ::kestrin::CCaret;
    using CGlyphInfo = ::kestrin::CGlyphInfo;
    using CIconInfo = ::kestrin::CIconInfo;

    // The key configuration the interpreter owns and saves with its state.
    using COruKeyConfig = ::kestrin::COruKeyConfig;

    // The form shared by every tag handler.
    typedef bool (CMainScript::*TagHandler)(CScriptBlock block, bool replay);
    typedef CScriptBlockList BlockList;

    // Runaway-protection limits.
    static constexpr size_t kMaxCallDepth = 1000;
    static constexpr uint32_t kDefaultFrameBudgetMs = 1000;

    // screen may be null (tests, or before the screen exists): everything that draws is skipped.
    explicit CMainScript(CMainScreen* screen);
    ~CMainScript();
    CMainScript(const CMainScript&) = delete;
    CMainScript& operator=(const CMainScript&) = delete;

    // --- Interpreter (boot and per-frame loop) ---
    bool Start();
    bool Boot();
    void Update(uint32_t now);
    // Work that can wait, done once a frame is drawn: parsing on in big scripts loaded in part.
    void Idle();
    int GetState() const { return m_state.caret.status; }
    bool IsSkipping() const { return m_state.skipAllowed && (m_commandSkip || m_controlSkip); }

    // --- Blocks and dispatch ---
    bool ExecuteBlock(CScriptBlock block, bool replay);
    // The handler of a tag name, or null (the name is then a macro call).
    static TagHandler FindTag(const std::string& name);
    // One tag: its name, its handler (null: the parser runs it) and the attributes it
    // requires, in the order the parser checks them (unused slots null).
    struct TagRow {
        const char* name;
        TagHandler handler;
        std::array<const char*, 8> required{};
    };
    // Every tag with its handler and required attributes (tags/CMainScriptTagTable.cpp).
    static const std::vector<TagRow>& Tags();
    // A row's handler that is a family's own: calls Handler on the family the member Family
    // holds, so a tag of a family needs no member here. Instantiated by the tag table only.
    template <auto Family, auto Handler>
    bool RunFamilyTag(CScriptBlock block, bool replay) {
        return ((*(this->*Family)).*Handler)(std::move(block), replay);
    }

    // --- Caret, call stack, labels, script cache, trace ---
    bool Jump(std::string file, const std::string& label);
    bool Call(std::string file, const std::string& label);
    bool RunEventBlock(CScriptBlock block);
    void HideGlyph();
    bool LoadScript(std::string& name);
    BlockList& GetScriptBlocks(const std::string& name);
    // Messages: the format is the engine's own text (UTF-8 in the code), the arguments are
    // game texts in the game's encoding. Trace writes while the trace is on and the level
    // allows; LogMessage always writes. Either opens the log window (the free Log writes
    // stderr only). The log receives the line in UTF-8 either way.
    void Trace(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void LogMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // A script diagnostic: "file(line): " (the caret's file; the block's line, or the line
    // given) and the formatted rest, as Trace formats it; the formats are in tags/TagMessages.h.
    void TraceAt(int level, const CScriptBlock& block, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void TraceAtLine(int level, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void LogAt(const CScriptBlock& block, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // An engine text in the game's encoding, to be joined with game texts.
    std::string EngineText(const char* utf8) const override;
    // Drops every loaded script and loads again the files of the call stack and the caret
    // (debug reload and the debugreload tag).
    void ReloadScripts();

    // --- Status changes and modes ---
    void SetStatus(STAT status);
    void EndClickWait();
    void EndTransitionWait();
    void Leave();
    void ShowGlyph();
    void FadeInLayer(const std::string& id);
    void FadeOutLayer(const std::string& id);
    void SetAutoModeAllowed(bool allowed);
    void SetAutoMode(bool on, bool forced);
    void SetCommandSkip(bool on, bool forced);
    void SetControlSkip(bool on, bool forced);
    void QueueDeferredCall(std::function<void()> call) { m_deferredCalls.push_back(std::move(call)); }
    // Runs or queues a layer's pointer-event handler (LAYER_EVENT_TYPE: IEventTagHost.h).
    void OnLayerEvent(LAYER_EVENT_TYPE type, bool forced, const CScriptBlock& block);
    // Turns a handler block into pending event blocks; true when it has no name.
    bool QueueEventBlock(const CScriptBlock& block);

    // --- Lua and save data (CMainScriptLua.cpp, CMainScriptSaveData.cpp) ---
    enum : int {
        LUA_ENTERFRAME = ILuaScriptHost::kLuaEnterFrame,
        LUA_CLICKWAITIN = ILuaScriptHost::kLuaClickWaitIn,
        LUA_CLICKWAITOUT = ILuaScriptHost::kLuaClickWaitOut
    };
    // The name of a Lua event handler function; empty when none is set.
    std::string& GetLuaHandlerName(int which);
    COruLua& GetLua();
    CSaveData& GetSaveData();
    // What a game save stores of the interpreter, and its restore (after a boot).
    const SScriptState& GetSavedState() const { return m_state; }
    void RestoreSavedState(SScriptState state);
    // Replays a saved page of a message layer, which becomes the screen's current one without
    // telling the script (s.current_message_layer); then MakeMessageLayerCurrent makes the
    // layer current again that was current before the pages.
    void ReplayPage(const std::string& layer, const std::vector<CScriptBlock>& blocks);
    // Makes layer the current message layer of the screen (mode as the screen takes it) and
    // of the script; chgmsg and a restore both come here.
    void MakeMessageLayerCurrent(const std::string& layer, int32_t mode = 0);
    // Hides every glyph layer of the glyph settings (a restored game waits without them).
    void HideGlyphLayers();
    void SetBackLog(std::unique_ptr<CBackLog> backlog);
    // The backlog; a game restore replaces it by an empty one before reading its member.
    CBackLog& GetBackLog();

    // --- Window ---
    // Full screen on and off (not under the software renderer); re-places the text field.
    void ToggleFullScreen();
    // Re-places the text field of the ime tag after the window changed size.
    void UpdateTextFieldRect();
    // Enter in the text field or the IME input: both are released after the current
    // callback, and the wait ends.
    void OnInputEnter();
    // The text-input objects of the ime tag (null when none).
    ITextField* GetTextField() const { return m_textField.get(); }

    // --- System variables ---
    void InitSystemVariables();

    // --- Accessors for tags, tests and the harness ---
    CMainScreen* GetScreen() const { return m_screen; }
    COruVariables& GetVariables() { return *m_variables; }
    std::shared_ptr<COruVariables> GetVariablesPtr() { return m_variables; }
    COruKeyConfig& GetKeyConfig() { return *m_keyConfig; }
    CCaret& GetCaret() { return m_state.caret; }
    std::deque<CCaret>& GetCallStack() { return m_state.callStack; }
    int GetTextEncoding() const { return m_textEncoding; }
    int GetDebugMode() const { return m_state.debugMode; }
    void SetDebugMode(int mode) { m_state.debugMode = mode; }
    int GetTraceLevel() const { return m_state.traceLevel; }
    void SetTraceLevel(int level) { m_state.traceLevel = level; }
    std::vector<std::string>& GetMacroFiles() { return m_state.macroFiles; }
    std::deque<CScriptBlock>& GetPendingEventBlocks();
    std::map<std::string, std::set<int32_t>>& GetReadBlocks() { return m_readBlocks; }
    CScriptBlock& GetEventBlock(int index) { return m_state.eventBlocks[index]; }
    std::map<int, CScriptBlock>& GetPushKeyHandlers() { return m_state.pushKeys; }
    std::map<std::string, CGlyphInfo>& GetGlyphSettings() { return m_state.glyphSettings; }
    int RandomValue() { return m_randomDistribution(m_random); }
    bool IsRightClickMode() const { return m_state.rightClickMode; }
    void SetRightClickAllowed(bool allowed) { m_state.rightClickAllowed = allowed; }
    int GetAutoSaveMode() const { return m_state.autoSaveMode; }
    void SetAutoSaveMode(int mode) { m_state.autoSaveMode = mode; }
    bool IsAutoMode() const { return m_autoMode; }
    // The music and effects managers (never null while the interpreter lives), the current
    // music's handle and the effect channels (channel id -> handle).
    CSoundManager& GetMusicManager();
    CSoundManager& GetEffectsManager();
    uint32_t GetMusicHandle() const;
    const std::map<std::string, uint32_t>& GetSoundChannels() const;
    // The current message layer of the screen, or null (no screen, or no layer yet).
    CLinkableTextRenderer* GetMessageLayer() const;
    // Per message layer name: the font stack whose top is the layer's text property.
    using FontStackMap = std::map<std::string, std::deque<CFontProperty>>;
    FontStackMap& GetLayerFontStacks();
    // The text tween presets per message layer name of an occasion, TEXT_TWEEN_IN to
    // TEXT_TWEEN_HIDE (scetween).
    using TextTweenMap = ::kestrin::TextTweenMap;
    TextTweenMap& GetTextTweens(int type) { return m_state.textTweens[type]; }
    const std::string& GetMessageLayerName() const { return m_state.messageLayerName; }
    // Time allowed to run blocks within one frame before the loop yields to the next frame.
    void SetFrameBudget(uint32_t milliseconds) { m_frameBudgetMs = milliseconds; }
    // Replaces the clock that measures the frame budget (tests).
    void SetBudgetClock(std::function<uint64_t()> clockMs) { m_budgetClock = std::move(clockMs); }

private:
    // Tag handlers (tags/), reached through the tag table.
    bool TagJump(CScriptBlock block, bool replay);
    bool TagCall(CScriptBlock block, bool replay);
    bool TagReturn(CScriptBlock block, bool replay);
    bool TagExit(CScriptBlock block, bool replay);
    bool TagLua(CScriptBlock block, bool replay);
    bool TagCalllua(CScriptBlock block, bool replay);
    bool TagStop(CScriptBlock block, bool replay);
    bool TagIf(CScriptBlock block, bool replay);
    bool TagElse(CScriptBlock block, bool replay);
    bool TagIfEnd(CScriptBlock block, bool replay);
    bool TagLoop(CScriptBlock block, bool replay);
    bool TagLoopEnd(CScriptBlock block, bool replay);
    bool TagWait(CScriptBlock block, bool replay);
    bool TagTag(CScriptBlock block, bool replay);
    bool TagMacroadd(CScriptBlock block, bool replay);
    bool TagMacrodel(CScriptBlock block, bool replay);
    bool TagVar(CScriptBlock block, bool replay);
    bool TagFile(CScriptBlock block, bool replay);
    bool TagLyc(CScriptBlock block, bool replay);
    bool TagLyprop(CScriptBlock block, bool replay);
    bool TagLyedit(CScriptBlock block, bool replay);
    bool TagLydel(CScriptBlock block, bool replay);
    // Tween and transition tags: their bodies and state are in the tween family (tags/CTweenTags.h).
    bool TagLytween(CScriptBlock block, bool replay);
    bool TagTweenset(CScriptBlock block, bool replay);
    bool TagTweensetEnd(CScriptBlock block, bool replay);
    bool TagLytweendel(CScriptBlock block, bool replay);
    bool TagFlip(CScriptBlock block, bool replay);
    bool TagTrans(CScriptBlock block, bool replay);
    bool TagTakess(CScriptBlock block, bool replay);
    bool TagSavess(CScriptBlock block, bool replay);
    bool TagAnime(CScriptBlock block, bool replay);
    bool TagSetonclick(CScriptBlock block, bool replay);
    bool TagDelonclick(CScriptBlock block, bool replay);
    bool TagSlider(CScriptBlock block, bool replay);
    bool TagUidel(CScriptBlock block, bool replay);
    // Sound tags: their bodies and state are in the sound family (tags/CSoundTags.h).
    bool TagSplay(CScriptBlock block, bool replay);
    bool TagSfadeout(CScriptBlock block, bool replay);
    bool TagSxfade(CScriptBlock block, bool replay);
    bool TagSfade(CScriptBlock block, bool replay);
    bool TagSeplay(CScriptBlock block, bool replay);
    bool TagSefadeout(CScriptBlock block, bool replay);
    bool TagVoice(CScriptBlock block, bool replay);
    bool TagVoiceEnd(CScriptBlock block, bool replay);
    bool TagVideo(CScriptBlock block, bool replay);
    bool TagSave(CScriptBlock block, bool replay);
    bool TagLoad(CScriptBlock block, bool replay);
    bool TagAutosave(CScriptBlock block, bool replay);
    bool TagReset(CScriptBlock block, bool replay);
    bool TagRclick(CScriptBlock block, bool replay);
    bool TagKeyconfig(CScriptBlock block, bool replay);
    bool TagSkip(CScriptBlock block, bool replay);
    bool TagAutomode(CScriptBlock block, bool replay);
    bool TagExec(CScriptBlock block, bool replay);
    // Message layer, font, ruby, prohibit, link and text-tween tags (tags/CMainScriptMessageTags.cpp);
    // the glyph, font and ruby ones forward to their family (tags/CMessageTags.h).
    bool TagChgmsg(CScriptBlock block, bool replay);
    bool TagChgmsgEnd(CScriptBlock block, bool replay);
    bool TagPrint(CScriptBlock block, bool replay);
    bool TagClickWait(CScriptBlock block, bool replay);
    bool TagRt(CScriptBlock block, bool replay);
    bool TagRp(CScriptBlock block, bool replay);
    bool TagWritebacklog(CScriptBlock block, bool replay);
    bool TagBacklog(CScriptBlock block, bool replay);
    bool TagHide(CScriptBlock block, bool replay);
    bool TagGlyph(CScriptBlock block, bool replay);
    bool TagFont(CScriptBlock block, bool replay);
    bool TagFontEnd(CScriptBlock block, bool replay);
    bool TagProhibit(CScriptBlock block, bool replay);
    bool TagLink(CScriptBlock block, bool replay);
    bool TagLinkEnd(CScriptBlock block, bool replay);
    bool TagLinkenable(CScriptBlock block, bool replay);
    bool TagLinkdisable(CScriptBlock block, bool replay);
    bool TagScetween(CScriptBlock block, bool replay);
    bool TagScein(CScriptBlock block, bool replay);
    bool TagSceout(CScriptBlock block, bool replay);
    bool TagIme(CScriptBlock block, bool replay);
    bool TagCaption(CScriptBlock block, bool replay);
    bool TagDialog(CScriptBlock block, bool replay);
    bool TagOpenbrowser(CScriptBlock block, bool replay);
    bool TagDebugreload(CScriptBlock block, bool replay);
    bool TagPurchase(CScriptBlock block, bool replay);
    // "vibrate", "direction" and "statusbar": nothing on this platform.
    bool TagNothing(CScriptBlock block, bool replay);
    // HTTP tags: their bodies and the request are in the HTTP family (tags/CHttpTags.h).
    bool TagHttpget(CScriptBlock block, bool replay);

    // Used by the tags and the frame loop only.
    bool CallMacro(CScriptBlock block, bool replay);
    bool PopCallStack();
    void SetSkipAllowed(bool allowed);
    void ResetBackLog();
    uint32_t GetNow() const { return m_now; }
    boost::random::mt19937& GetRandom() { return m_random; }
    // Whether the current message layer's page holds nothing yet (true without a layer).
    bool IsMessagePageEmpty() const;

    // Tweens and transitions end through callbacks that may outlive the interpreter (the
    // tween registry belongs to the process): they hold this token weakly.
    std::shared_ptr<CMainScript*> m_self = std::make_shared<CMainScript*>(this);

    // Tag helpers (tags/).
    // Scans forward from the caret for the end of a skipped "if" or "else" branch; with
    // branches, an "else" or "elseif" at the outer level also ends the scan (the elseif is
    // returned in found).
    enum IfScan { IF_SCAN_END, IF_SCAN_ELSE, IF_SCAN_ELSEIF, IF_SCAN_FILE_END };
    IfScan ScanIf(bool branches, CScriptBlock* found);
    // What a layer id names: a tree node, the root ("!"), or a message layer ("~name").
    struct STagTarget {
        IDisplayObject* object = nullptr;
        std::shared_ptr<IDisplayObject> keep;  // empty for the root
        COruLayer* node = nullptr;             // tree nodes and the root
        std::string messageLayer;              // message layers: their name
    };
    // False when the id names nothing; withRoot accepts "!", withMessage "~" names.
    bool FindTagTarget(const std::string& id, bool withRoot, bool withMessage, STagTarget& out);
    // As FindTagTarget for the block's "id", tracing that the layer is not found when false.
    bool FindTagTargetOf(const CScriptBlock& block, bool withRoot, bool withMessage, STagTarget& out);
    void DeleteLayerAndRecords(const std::string& id, bool replay);

    bool RunLoop();
    // Tells the game loop when the script next needs a frame (CFrameDemand).
    void AskForFrames() const;
    // True (traced) when one more call would pass the depth limit.
    bool IsCallTooDeep(const std::string& file, const std::string& label);
    // The formatted line in the game's encoding (see Trace).
    std::string ComposeMessage(const char* format, va_list args) const;
    // Trace with its arguments as a list.
    void TraceList(int level, const char* format, va_list args);
    // Whether Trace writes at this level (the trace is on and someone takes the text).
    bool IsTraced(int level) const;
    // The one body of TraceAt, TraceAtLine, TraceInFile and LogAt: "file(line): " and the
    // formatted rest, traced at the level or always logged.
    enum ReportTo { REPORT_TRACE, REPORT_LOG };
    void ReportAt(ReportTo to, int level, const std::string& file, int line, const char* format, va_list args);
    // As TraceAt, for a line of another file than the caret's (a script being loaded).
    void TraceInFile(int level, const std::string& file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    // A line in the game's encoding as UTF-8 for the log.
    std::string ToLogText(const std::string& line) const;
    enum PassResult { PASS_GO_ON, PASS_NEXT, PASS_END_FRAME, PASS_LEAVE_UPDATE };
    PassResult UserActions();
    PassResult WaitSection();
    bool RoleDecide(EKeyRole role);
    bool RoleDown(EKeyRole role);
    bool IsTextShown() const;
    void DebugReload();
    uint64_t BudgetNow() const;
    std::string Substitute(const std::string& value);
    bool ExecuteText(CScriptBlock& block, bool replay);

    // Calls into the neighbours (CMainScriptServices.cpp).
    void SetScreenEncoding();
    void ResetScreen();
    void FlipScreen();
    void SetRootDraggable(bool draggable);
    void SetLayerVisible(const std::string& id, bool visible);
    bool IsClearShown() const;
    void FinishMessageTweens();
    // The current layer's "in" presets on the text added since the last start; while
    // skipping (when skippable) none, so the text shows at once.
    void StartMessageTweens(bool skippable = true);
    void ShowMessageLayer(bool show);
    int AddMessageText(const std::string& text, std::string& rest);
    void RecordPageBlock(const CScriptBlock& block);
    void SwitchMessageLayer(const CScriptBlock& block, const std::string& name, int32_t mode);
    bool IsVideoPlaying() const;
    void StopVideo();
    void ShowMessage(const std::string& text, const std::string& caption);
    // Tweens and transitions (CMainScriptTweens.cpp): makes the family, and what it asks of
    // the interpreter (its diagnostics are TraceTagAt's).
    void CreateTweenTags();
    bool FindTweenTarget(const std::string& id, IDisplayObject*& object,
                         std::shared_ptr<IDisplayObject>& keep) override;
    void AttachTween(const std::string& id, int32_t tween) override;
    void FinishLayerTweens(const std::string& id) override;
    void DeleteTweenedLayer(const std::string& id) override;
    CMainScreen* GetTweenScreen() override;
    void WaitForTween() override;
    void WaitForTransition() override;
    void EndTweenWait() override;
    void OnTransitionFinished() override;
    bool IsSkippingTweens() const override;
    CSaveData& GetTweenSaveData() override;
    // Sound (CMainScriptSound.cpp): makes the family, and what it asks of the interpreter.
    void CreateSoundManagers();
    COruVariables& GetSoundVariables() override;
    bool IsSkippingSounds() const override;
    CSaveData& GetSoundSaveData() override;
    void RecordVoiceBlock(const CScriptBlock& block) override;
    void TraceSoundTag(int level, const CScriptBlock& block, const char* format, va_list args) override;
    // HTTP and debug (CMainScriptHostLinks.cpp): makes the families, and what they ask of
    // the interpreter.
    void CreateHostLinks();
    COruVariables& GetHttpVariables() override;
    void BeginHttpWait() override;
    int GetHttpTextEncoding() const override;
    void RunHttpCompletion(const CScriptBlock& block) override;
    void TraceHttpRequest(int level, const char* format, va_list args) override;
    void SetDebugTraceMode(int mode) override;
    void SetDebugTraceLevel(int level) override;
    // The HTTP, debug and message tags' diagnostics at a block's line.
    void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) override;
    // Ruby, fonts and the click-wait glyph (CMainScriptMessages.cpp): what their family asks
    // of the interpreter.
    CLinkableTextRenderer* GetTextLayer() const override;
    CLinkableTextRenderer* FindTextLayer(const std::string& name) const override;
    const std::string& GetTextLayerName() const override;
    bool IsTextPageEmpty() const override;
    void RecordTextBlock(const CScriptBlock& block) override;
    void RecordPageFonts(const std::string& layer, const std::deque<CFontProperty>& stack) override;
    void BreakPageBefore(const CScriptBlock& block) override;
    CFontProperty& GetDefaultTextFont() override;
    std::map<std::string, CGlyphInfo>& GetClickGlyphs() override;
    bool IsCaretGlyphShown() const override;
    void ClearCaretGlyphShown() override;
    bool IsPageEndNext() override;
    COruLayer* GetGlyphRoot() const override;
    void ReleaseServices();
    void ReleaseTextInputs();
    // The text field's window rectangle for a rectangle in game pixels.
    void TextFieldWindowRect(int32_t out[4]) const;
    // Calls the Lua handler of that name when one is set; a failing handler is traced with
    // its event name ("OnEnterFrame", ...) and unset, so that it is not called again.
    void CallLuaHandler(std::string& name, const char* event);
    void RunLuaChunk(const std::string& file, const CScriptBlock& block);
    // Lua (CMainScriptLua.cpp): what the Lua host object asks of the interpreter (its engine
    // texts are EngineText's).
    void TraceLua(int level, const char* format, va_list args) override;
    int DrawLuaRandom() override;
    void RunLuaTag(CScriptBlock block) override;
    std::string EvaluateLuaExpression(const std::string& expression) override;
    CCaret& GetLuaCaret() override;
    const std::deque<CCaret>& GetLuaCallStack() override;
    CScriptBlockList& GetLuaScriptBlocks(const std::string& file) override;
    void SetLuaHandlerName(ELuaHandler which, const std::string& name) override;
    void LoadGlobalData();
    void SaveGlobalData(bool forced);
    void SaveAutoSave(bool withBacklog);
    bool OpenBacklog();
    void CloseBacklog();
    bool ScrollBacklog(bool older, bool newer);

    // Everything a game save stores of the interpreter.
    SScriptState m_state;

    bool m_autoMode = false;
    bool m_commandSkip = false;
    bool m_controlSkip = false;

    CMainScreen* m_screen;
    CInput* m_input = nullptr;
    std::unique_ptr<COruKeyConfig> m_keyConfig;
    std::shared_ptr<COruVariables> m_variables;

    uint32_t m_now = 0;
    int32_t m_currentLine = 0;
    std::vector<std::function<void()>> m_deferredCalls;
    // Boost's distribution: scripts may rely on the exact numbers it draws.
    boost::random::mt19937 m_random;
    boost::random::uniform_int_distribution<int> m_randomDistribution{0, 65535};
    int m_textEncoding = 0;

    std::map<std::string, BlockList> m_scripts;
    // Scripts at least this big are parsed in slices (LoadScript); Idle parses at most this
    // many slices, for at most this long, after each drawn frame.
    static constexpr size_t kScriptInSlicesBytes = 1 << 20;
    static constexpr unsigned kIdleParseSlices = 32;
    static constexpr uint64_t kIdleParseMs = 5;
    bool m_partialScripts = false;  // some script may be still in slices
    BlockList m_noBlocks;
    std::map<std::string, std::set<int32_t>> m_readBlocks;
    // Macro files that could not be loaded: not tried again until the list changes.
    std::set<std::string> m_failedMacroFiles;

    // The event tags with the layer events and the queued event blocks; the key and mode
    // reactions they set stay in m_state (saved). CMainScriptEvents.cpp makes the family and
    // answers what it asks (TraceTagAt above serves it too).
    void CreateEventTags();
    const std::string& GetEventCaretFile() const override;
    std::shared_ptr<ILayer> FindEventLayer(const std::string& id) override;
    void RecordLayerEvent(const std::string& id, const CScriptBlock& block) override;
    std::map<int, CScriptBlock>& GetPushKeyBlocks() override;
    CScriptBlock& GetModeEventBlock(int slot) override;
    bool TakesEventNow() const override;
    bool RunEventReaction(const CScriptBlock& block) override;
    bool IsEventKeyDecided(int key) override;
    std::unique_ptr<CEventTags> m_events;

    bool m_rightClickRequest = false;
    bool m_hideRequest = false;
    bool m_backlogRequest = false;

    // The ruby run, the font stacks and the glyph on show, with their tags; made by the
    // constructor.
    std::unique_ptr<CMessageTags> m_messages;
    // The tween and transition tags with the tweenset being gathered, the sync wait and the
    // running transition's tween; made by the constructor.
    std::unique_ptr<CTweenTags> m_tween;
    int m_screenDirection = 0;
    int m_screenDirectionPrevious = 0;

    // The sound tags with the managers, channels and fades they play on; made by the
    // constructor, released at shutdown after the debug links and the HTTP request.
    std::unique_ptr<CSoundTags> m_sound;
    int m_videoSkipMode = 0;
    // The HTTP tags with their request, and the debug tags with the debug channel and server;
    // made by the constructor (ReleaseServices says when they go).
    std::unique_ptr<CHttpTags> m_http;
    std::unique_ptr<CDebugTags> m_debug;

    // The ime tag: the field's rectangle in game pixels and the two input objects.
    int32_t m_textFieldRect[4] = {0, 0, 0, 0};
    std::shared_ptr<ITextField> m_textField;
    std::shared_ptr<IIme> m_ime;

    uint32_t m_frameBudgetMs = kDefaultFrameBudgetMs;
    std::function<uint64_t()> m_budgetClock;

    // Created on first use; declared last so that they go first at destruction (the Lua host
    // earlier, with the links: ReleaseServices).
    std::shared_ptr<CSaveData> m_saveData;
    std::unique_ptr<CBackLog> m_backlog;
    std::shared_ptr<COruLua> m_lua;
};

}  // namespace kestrin
