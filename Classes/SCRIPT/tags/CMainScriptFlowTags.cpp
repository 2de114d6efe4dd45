// Flow tags: jump, call, return, exit, stop, if/elseif/else//if, loop//loop, wait, tag.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "CORE/StringHelpers.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

std::string Attribute(const CScriptBlock& block, const char* name) {
    auto it = block.GetAttributes().find(name);
    return it == block.GetAttributes().end() ? std::string() : it->second;
}

// Scans look at blocks in place, without copying them out of the script.
bool IsTag(const CScriptBlockList::Ref& block, const char* name) {
    return block.GetKind() == CScriptBlock::kTag && block.GetName() == name;
}

}  // namespace

bool CMainScript::TagJump(CScriptBlock block, bool replay) {
    (void)replay;
    std::string file = Attribute(block, "file");
    std::string label = Attribute(block, "label");
    if (Jump(file, label)) {
        TraceAt(1, block, tagmsg::kPlaceMissing, block.GetName().c_str(), file.c_str(), label.c_str());
    }
    return false;
}

bool CMainScript::TagCall(CScriptBlock block, bool replay) {
    (void)replay;
    std::string file = Attribute(block, "file");
    std::string label = Attribute(block, "label");
    if (Call(file, label)) {
        TraceAt(1, block, tagmsg::kPlaceMissing, block.GetName().c_str(), file.c_str(), label.c_str());
    }
    return false;
}

bool CMainScript::TagReturn(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (PopCallStack()) {
        SetStatus(STAT_QUIT);
        return true;
    }
    return m_state.caret.status != STAT_RUN;
}

bool CMainScript::TagExit(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    SetStatus(STAT_QUIT);
    return false;
}

bool CMainScript::TagStop(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    StartMessageTweens();
    if (m_autoMode && m_state.autoModeStopByStop) SetAutoMode(false, false);
    SetStatus(STAT_STOP);
    return true;
}

CMainScript::IfScan CMainScript::ScanIf(bool branches, CScriptBlock* found) {
    BlockList& blocks = GetScriptBlocks(m_state.caret.file);
    if (m_state.caret.index < 0) m_state.caret.index = 0;
    int depth = 0;
    while (blocks.HasBlock(static_cast<size_t>(m_state.caret.index))) {
        const CScriptBlockList::Ref block = blocks[m_state.caret.index++];
        if (block.GetKind() != CScriptBlock::kTag) continue;
        const std::string_view name = block.GetName();
        if (name == "if") {
            ++depth;
        } else if (name == "/if") {
            if (depth == 0) return IF_SCAN_END;
            --depth;
        } else if (branches && depth == 0 && name == "else") {
            return IF_SCAN_ELSE;
        } else if (branches && depth == 0 && name == "elseif") {
            if (found) *found = block.ToBlock();
            return IF_SCAN_ELSEIF;
        }
    }
    return IF_SCAN_FILE_END;
}

// An elseif chain is walked here, one branch after the other, so that a long chain never
// deepens the stack.
bool CMainScript::TagIf(CScriptBlock block, bool replay) {
    for (;;) {
        std::string value = m_variables->Evaluate(Attribute(block, "estimate"));
        if (ParseTagInt(value) != 0) return false;
        CScriptBlock next;
        if (ScanIf(true, &next) != IF_SCAN_ELSEIF) return false;
        // The elseif runs as an "if", as the dispatcher would run it: traced, its values substituted.
        next.SetName("if");
        m_currentLine = next.GetLine();
        std::string text;
        for (auto& attribute : next.GetAttributes()) {
            text += ' ' + attribute.first + "=\"" + attribute.second + '"';
            if (!attribute.second.empty() && attribute.second[0] == '$') {
                attribute.second = Substitute(attribute.second);
                text += '(' + attribute.second + ')';
            }
        }
        if (!replay) TraceAt(3, next, "if%s", text.c_str());
        block = std::move(next);
    }
}

// "else" and "elseif" reached by running: the branch before them ran, skip to "/if".
bool CMainScript::TagElse(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    ScanIf(false, nullptr);
    return false;
}

bool CMainScript::TagIfEnd(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    return false;
}

bool CMainScript::TagLoop(CScriptBlock block, bool replay) {
    (void)replay;
    std::string value = m_variables->Evaluate(Attribute(block, "estimate"));
    if (ParseTagInt(value) != 0) return false;
    BlockList& blocks = GetScriptBlocks(m_state.caret.file);
    if (m_state.caret.index < 0) m_state.caret.index = 0;
    int depth = 0;
    while (blocks.HasBlock(static_cast<size_t>(m_state.caret.index))) {
        const CScriptBlockList::Ref b = blocks[m_state.caret.index++];
        if (IsTag(b, "loop")) {
            ++depth;
        } else if (IsTag(b, "/loop")) {
            if (depth == 0) break;
            --depth;
        }
    }
    return false;
}

bool CMainScript::TagLoopEnd(CScriptBlock block, bool replay) {
    (void)replay;
    BlockList& blocks = GetScriptBlocks(m_state.caret.file);
    const int32_t after = m_state.caret.index;
    int32_t index = m_state.caret.index - 2;
    if (!blocks.HasBlock(static_cast<size_t>(std::max(index, 0)))) index = static_cast<int32_t>(blocks.size()) - 1;
    int depth = 0;
    for (; index >= 0; --index) {
        const CScriptBlockList::Ref b = blocks[index];
        if (IsTag(b, "/loop")) {
            ++depth;
        } else if (IsTag(b, "loop")) {
            if (depth == 0) {
                m_state.caret.index = index;
                return false;
            }
            --depth;
        }
    }
    // No loop opens this one: reported, and the script goes on after it.
    TraceAt(1, block, tagmsg::kLoopUnpaired, block.GetName().c_str());
    m_state.caret.index = after;
    return false;
}

bool CMainScript::TagWait(CScriptBlock block, bool replay) {
    (void)replay;
    int32_t scenario = TagInt(block, "scenario");
    int32_t input = TagInt(block, "input");
    int32_t time = TagInt(block, "time");
    if (input == 2 && IsSkipping()) return false;
    if (scenario == 0) {
        // A long wait ends late rather than wrapping round to an early end.
        const uint64_t sum = uint64_t(m_now) + uint64_t(std::max(time, 0));
        const uint32_t wake = sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
        // 0 means "no deadline": a wait that ends now must still end.
        m_state.caret.wakeTime = wake == 0 ? 1 : wake;
        StartMessageTweens();
    } else if (scenario == 1) {
        StartMessageTweens(false);
        m_state.caret.waitForText = true;
    } else if (scenario == 2) {
        m_state.caret.waitForClear = true;
    }
    if (input == 1) {
        m_state.caret.glyphShown = true;
        SetStatus(STAT_CLICK);
    } else {
        SetStatus(STAT_WAIT);
    }
    return true;
}

bool CMainScript::TagTag(CScriptBlock block, bool replay) {
    std::vector<std::string> elements;
    std::string data = Attribute(block, "data");
    SplitStringStripping(data.c_str(), elements, ",", "\\");
    if (elements.empty()) {
        TraceAt(1, block, tagmsg::kParametersInvalid);
        return false;
    }
    // An empty first element is a tag without a name, which does nothing.
    const char first = elements[0].empty() ? '\0' : elements[0][0];
    CScriptBlock built;
    size_t next = 1;
    if (first == '*' || first == '\\') {
        if (elements.size() % 2 != 0) {
            TraceAt(1, block, tagmsg::kParametersInvalid);
            return false;
        }
        built = CScriptBlock(first == '*' ? CScriptBlock::kLabel : CScriptBlock::kText, block.GetLine(), elements[1]);
        next = 2;
    } else {
        if (elements.size() % 2 == 0) {
            TraceAt(1, block, tagmsg::kParametersInvalid);
            return false;
        }
        built = CScriptBlock(CScriptBlock::kTag, block.GetLine(), elements[0]);
    }
    for (size_t i = next; i + 1 < elements.size(); i += 2) built.SetAttribute(elements[i], elements[i + 1]);
    return ExecuteBlock(std::move(built), replay);
}

}  // namespace kestrin
