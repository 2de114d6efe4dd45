// Caret, call stack, labels, script cache, event blocks and the trace.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "CORE/CLogWindow.h"
#include "CORE/COruPackFile.h"
#include "CORE/Platform/MemoryAdvice.h"
#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruParser.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/CDebugTags.h"
#include "SCRIPT/tags/TagMessages.h"
#include "babel/babel.h"

namespace kestrin {

bool CMainScript::Jump(std::string file, const std::string& label) {
    if (file.empty()) file = m_state.caret.file;
    if (LoadScript(file)) return true;

    int32_t index = 0;
    if (!label.empty()) {
        auto fileIt = m_scripts.find(file);
        if (fileIt == m_scripts.end()) return true;
        const int64_t found = fileIt->second.FindLabel(label);
        if (found < 0) return true;
        index = static_cast<int32_t>(found);
    }

    m_state.caret.file = file;
    m_state.caret.index = index;
    m_state.caret.wakeTime = 0;
    m_state.caret.waitForText = false;
    m_state.caret.waitForClear = false;
    m_state.caret.queue.clear();
    HideGlyph();
    SetStatus(STAT_RUN);
    return false;
}

// Runaway recursion (a macro that calls itself) would otherwise grow without end.
bool CMainScript::IsCallTooDeep(const std::string& file, const std::string& label) {
    if (m_state.callStack.size() < kMaxCallDepth) return false;
    TraceAtLine(1, m_currentLine, tagmsg::kCallTooDeep, static_cast<int>(kMaxCallDepth), file.c_str(), label.c_str());
    return true;
}

bool CMainScript::Call(std::string file, const std::string& label) {
    if (IsCallTooDeep(file, label)) return true;
    m_state.callStack.push_back(m_state.caret);
    if (Jump(std::move(file), label)) {
        m_state.callStack.pop_back();
        return true;
    }
    if (m_state.rightClickMode) ++m_state.rightClickDepth;
    m_variables->PushLocalScope();
    return false;
}

bool CMainScript::PopCallStack() {
    if (m_state.callStack.empty()) return true;
    m_state.caret = std::move(m_state.callStack.back());
    m_state.callStack.pop_back();
    if (m_state.rightClickMode) {
        if (m_state.rightClickDepth > 0) {
            --m_state.rightClickDepth;
        } else {
            m_state.rightClickMode = false;
            SaveGlobalData(false);
        }
    }
    m_variables->PopLocalScope();
    return false;
}

bool CMainScript::RunEventBlock(CScriptBlock block) {
    if (block.GetName().empty()) return true;
    const auto& attributes = block.GetAttributes();
    auto fileIt = attributes.find("file");
    auto labelIt = attributes.find("label");
    if (fileIt != attributes.end() || labelIt != attributes.end()) {
        std::string file = fileIt != attributes.end() ? fileIt->second : std::string();
        std::string label = labelIt != attributes.end() ? labelIt->second : std::string();
        auto callIt = attributes.find("call");
        const bool call = callIt != attributes.end() && callIt->second != "0";
        // A call refused for its depth has said so already.
        if (call && IsCallTooDeep(file, label)) return true;
        if (call ? Call(file, label) : Jump(file, label)) {
            // Otherwise a link or reaction that leads nowhere looks as if it never came.
            TraceAt(1, block, tagmsg::kPlaceMissing, block.GetName().c_str(), file.c_str(), label.c_str());
            return true;
        }
    }
    auto handlerIt = attributes.find("handler");
    if (handlerIt != attributes.end()) {
        CScriptBlock copy(block);
        copy.SetName(handlerIt->second);
        m_state.caret.queue.push_back(std::move(copy));
    }
    return false;
}

namespace {

// Whether the text may hold a tag named "lua": the letters in order with nothing between them
// but backslashes (escapes) and carriage returns (dropped from names).
bool MayHoldLua(const ScriptText& text) {
    const char* const end = text.data() + text.size();
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, 'l', end - p))); ++p) {
        const char* q = p + 1;
        for (const char letter : {'u', 'a'}) {
            while (q < end && (*q == '\\' || *q == '\r')) ++q;
            if (q == end || *q != letter) break;
            if (letter == 'a') return true;
            ++q;
        }
    }
    return false;
}

}  // namespace

void CMainScript::Idle() {
    if (!m_partialScripts) return;
    m_partialScripts = false;
    const uint64_t start = BudgetNow();
    unsigned slices = 0;
    for (auto& entry : m_scripts) {
        BlockList& blocks = entry.second;
        while (blocks.IsPartial() && slices < kIdleParseSlices && BudgetNow() - start < kIdleParseMs) {
            blocks.ParseMore();
            ++slices;
        }
        if (blocks.IsPartial()) m_partialScripts = true;
    }
}

// An unloaded file reads as having no blocks. No entry is made for it: an empty entry
// would make a later LoadScript take the file as loaded and never read it.
CMainScript::BlockList& CMainScript::GetScriptBlocks(const std::string& name) {
    auto it = m_scripts.find(name);
    if (it != m_scripts.end()) return it->second;
    m_noBlocks.clear();
    return m_noBlocks;
}

bool CMainScript::LoadScript(std::string& name) {
    if (m_scripts.count(name)) return false;
    std::string withExtension = name + ".iet";
    if (m_scripts.count(withExtension)) {
        name = withExtension;
        return false;
    }

    COruPackFile file;
    if (file.Open(name.c_str())) {
        if (file.Open(withExtension.c_str())) return true;
        name = withExtension;
    }
    int size = file.GetSize();
    if (size < 0) size = 0;
    ScriptText text(static_cast<size_t>(size) + 1);
    // Filled at once by the read: huge pages spare most of the page faults of a big script.
    if (text.size() >= (size_t(4) << 20)) AdviseHugePages(text.data(), text.size());
    int got = size ? file.Read(text.data(), static_cast<unsigned>(size)) : 0;
    file.Close();
    const size_t used = got > 0 ? static_cast<size_t>(got) : 0;
    text.resize(used + 1);
    text[used] = 0;

    auto parser = std::make_shared<COruParser>();
    parser->SetEncoding(m_textEncoding);
    // A big script is parsed as far as the game reads it, the rest between frames (Idle):
    // its first blocks run without waiting for the whole of it. Lua chunks all run at load,
    // so a script that may hold one is parsed whole.
    if (text.size() >= kScriptInSlicesBytes && !MayHoldLua(text)) {
        m_scripts[name] = COruParser::ParseScriptInSlices(parser, text);
        m_partialScripts = true;
        return false;
    }
    if (parser->ParseScript(text)) return true;
    BlockList blocks = parser->TakeBlocks();

    // A script without Lua need not be walked block by block for it.
    for (size_t i = 0, n = blocks.HasName("lua") ? blocks.size() : 0; i < n; ++i) {
        const CScriptBlockList::Ref block = blocks[i];
        if (block.GetKind() == CScriptBlock::kTag && block.GetName() == "lua") {
            RunLuaChunk(name, block.ToBlock());
            // The chunk has run; the block stays for its index, without the text.
            blocks.ClearAttributeValue(i, "script");
        }
    }
    m_scripts[name] = std::move(blocks);
    return false;
}

namespace {

bool IsAscii(const char* text) {
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::string CMainScript::EngineText(const char* utf8) const {
    if (m_textEncoding == 2 || IsAscii(utf8)) return utf8;
    return babel::utf8_to_sjis(utf8);
}

std::string CMainScript::ToLogText(const std::string& line) const {
    return m_textEncoding == 2 ? line : babel::sjis_to_utf8(line);
}

// The whole line is built in the game's encoding, so that engine text and game text never
// mix two encodings.
std::string CMainScript::ComposeMessage(const char* format, va_list args) const {
    const std::string gameFormat = EngineText(format);
    char buffer[10240];
    int length = std::vsnprintf(buffer, sizeof buffer, gameFormat.c_str(), args);
    if (length < 0) return std::string();
    return buffer;
}

bool CMainScript::IsTraced(int level) const {
    if (m_state.debugMode == 0 || level > m_state.traceLevel) return false;
    return m_state.debugMode == 1 || (m_state.debugMode == 2 && m_debug && m_debug->HasChannel());
}

void CMainScript::Trace(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    TraceList(level, format, args);
    va_end(args);
}

void CMainScript::TraceList(int level, const char* format, va_list args) {
    if (!IsTraced(level)) return;
    std::string line(m_state.callStack.size() * 2, ' ');
    line += ComposeMessage(format, args);
    if (m_state.debugMode == 1) {
        CLogWindow::GetInstance()->PrintText(ToLogText(line));
    } else {
        // Without a channel nobody takes the text: it is not gathered. The debugger reads
        // the game's own encoding.
        m_debug->QueueTraceLine(line);
    }
}

void CMainScript::LogMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = ComposeMessage(format, args);
    va_end(args);
    LogPrintf("%s", ToLogText(line).c_str());
}

void CMainScript::ReportAt(ReportTo to, int level, const std::string& file, int line, const char* format,
                           va_list args) {
    // Nothing is formatted while the trace would drop it.
    if (to == REPORT_TRACE && !IsTraced(level)) return;
    const std::string rest = ComposeMessage(format, args);
    if (to == REPORT_TRACE) {
        Trace(level, "%s(%d): %s", file.c_str(), line, rest.c_str());
    } else {
        LogMessage("%s(%d): %s", file.c_str(), line, rest.c_str());
    }
}

void CMainScript::TraceAt(int level, const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportAt(REPORT_TRACE, level, m_state.caret.file, block.GetLine(), format, args);
    va_end(args);
}

void CMainScript::TraceAtLine(int level, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportAt(REPORT_TRACE, level, m_state.caret.file, line, format, args);
    va_end(args);
}

void CMainScript::TraceInFile(int level, const std::string& file, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportAt(REPORT_TRACE, level, file, line, format, args);
    va_end(args);
}

void CMainScript::LogAt(const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportAt(REPORT_LOG, 0, m_state.caret.file, block.GetLine(), format, args);
    va_end(args);
}

}  // namespace kestrin

namespace kestrin {

// A pending timed or text wait is saved as running, with the waiting status as the
// previous one: a restored game resumes instead of waiting.
void CMainScript::CCaret::Save(CSerializer* archive) {
    bool waiting = wakeTime != 0 || waitForText || waitForClear;
    archive->SaveInt(waiting ? 0 : status, 1);
    archive->SaveInt(waiting ? status : previousStatus, 2);
    archive->SaveString(file, 3);
    archive->SaveInt(index, 4);
    archive->SaveScriptBlockDeque(queue, 6);
    archive->SaveByte(glyphShown ? 1 : 0, 7);
}

void CMainScript::CCaret::Load(CSerializer* archive) {
    archive->LoadInt(status, 1);
    archive->LoadInt(previousStatus, 2);
    archive->LoadString(file, 3);
    archive->LoadInt(index, 4);
    archive->LoadInt(wakeTime, 5);
    archive->LoadScriptBlockDeque(queue, 6);
    archive->LoadByte(glyphShown, 7);
}

void CMainScript::CGlyphInfo::Save(CSerializer* archive) {
    archive->SaveByte(homing ? 1 : 0, 1);
    archive->SaveByte(lineGlyphSet ? 1 : 0, 2);
    archive->SaveByte(pageGlyphSet ? 1 : 0, 3);
    archive->SaveString(lineGlyphLayer, 4);
    archive->SaveString(pageGlyphLayer, 5);
    archive->SaveInt(linePosition.GetX(), 6);
    archive->SaveInt(linePosition.GetY(), 7);
    archive->SaveInt(pagePosition.GetX(), 8);
    archive->SaveInt(pagePosition.GetY(), 9);
}

void CMainScript::CGlyphInfo::Load(CSerializer* archive) {
    archive->LoadByte(homing, 1);
    archive->LoadByte(lineGlyphSet, 2);
    archive->LoadByte(pageGlyphSet, 3);
    archive->LoadString(lineGlyphLayer, 4);
    archive->LoadString(pageGlyphLayer, 5);
    int32_t x = linePosition.GetX(), y = linePosition.GetY();
    archive->LoadInt(x, 6);
    archive->LoadInt(y, 7);
    linePosition = CPoint(x, y);
    x = pagePosition.GetX();
    y = pagePosition.GetY();
    archive->LoadInt(x, 8);
    archive->LoadInt(y, 9);
    pagePosition = CPoint(x, y);
}

void CMainScript::CIconInfo::Save(CSerializer* archive) {
    archive->SaveByte(enabled ? 1 : 0, 1);
    archive->SaveString(layerId, 2);
}

void CMainScript::CIconInfo::Load(CSerializer* archive) {
    archive->LoadByte(enabled, 1);
    archive->LoadString(layerId, 2);
}

}  // namespace kestrin
