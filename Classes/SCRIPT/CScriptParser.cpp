#include "SCRIPT/CScriptParser.h"

#include "SCRIPT/LeadByteTable.h"
#include "SCRIPT/ParserMessages.h"

namespace kestrin {

namespace {
enum : uint8_t { kPlain = 0, kLead = 1, kStop = 2, kSpecial = 3 };
enum State {
    kBetween = 0,
    kLineComment = 1,
    kBlockComment = 2,
    kLineTagName = 3,
    kLineTagArgs = 4,
    kLabel = 5,
    kTagName = 6,
    kAttrName = 7,
    kAfterAttrName = 8,
    kAttrValue = 9,
    kText = 10,
    kRawBody = 11,
};
}  // namespace

CScriptParser::CScriptParser() { BuildTables(); }

CScriptParser::~CScriptParser() = default;

void CScriptParser::SetEncoding(int encoding) {
    if (encoding == m_encoding) return;
    m_encoding = encoding;
    BuildTables();
}

void CScriptParser::BuildTables() {
    m_lead = GetLeadByteTable(m_encoding);
    static const char* const kStops[kStopSetCount] = {
        " \t\n",     // line-tag name
        ",\n",       // line-tag argument
        "\n",        // label
        "[] \t\n",   // tag name
        "=[] \t\n",  // attribute name
        "\"",        // quoted value
        "] \t\n",    // bare value
        "\n@[",      // text
        "[",         // raw body
    };
    for (int escapes = 0; escapes < 2; ++escapes) {
        for (int set = 0; set < kStopSetCount; ++set) {
            uint8_t* cls = m_class[escapes][set];
            for (int b = 0; b < 256; ++b) cls[b] = m_lead[b] ? kLead : kPlain;
            cls[0] = kSpecial;
            cls[static_cast<unsigned char>('\r')] = kSpecial;
            cls[static_cast<unsigned char>('\n')] = kSpecial;
            if (escapes) cls[static_cast<unsigned char>('\\')] = kSpecial;
            for (const char* s = kStops[set]; *s; ++s) cls[static_cast<unsigned char>(*s)] = kStop;
        }
    }
}

void CScriptParser::SetLineTag(bool allowed, char prefix) {
    m_lineTagsAllowed = allowed;
    m_lineTagPrefix = prefix;
}

void CScriptParser::AddRawBodyTag(const std::string& name) { m_rawBodyTags.insert(name); }

void CScriptParser::AddLineEndCommand(const std::string& command) { m_lineEndCommands.push_back(command); }

void CScriptParser::AddCharCommand(const std::string& character, const std::string& command) {
    m_charCommands[character].push_back(command);
}

void CScriptParser::ClearLineEndCommands() {
    m_lineEndCommands.clear();
    m_charCommands.clear();
}

const std::string& CScriptParser::BadTagMessage(int encoding) { return GetParserMessage(kBadTag, encoding); }

void CScriptParser::OnLineHead(const char*) {}
bool CScriptParser::OnText(std::string&) { return false; }
void CScriptParser::OnLineEnd(const char*, size_t) {}
bool CScriptParser::OnLabel(std::string&) { return false; }
bool CScriptParser::OnTag(std::string&, AttributeList&) { return false; }

CScriptParser::Attribute& CScriptParser::AttributeSlot(AttributeList& attributes, const std::string& name) {
    for (auto& attribute : attributes)
        if (attribute.first == name) return attribute;
    attributes.emplace_back();
    attributes.back().first = name;
    return attributes.back();
}

void CScriptParser::ReadVerbatim(const unsigned char*& p, StopSet set, bool escapes, std::string& out,
                                 const unsigned char*& source) {
    const unsigned char* start = p;
    const bool fresh = out.empty();
    const size_t unchanged = ReadUntil(p, set, escapes, out);
    source = fresh && unchanged == out.size() ? start : nullptr;
}

void CScriptParser::SetValue() {
    Attribute& attribute = AttributeSlot(m_attributes, m_attrName);
    attribute.second = std::move(m_attrValue);
    attribute.source = reinterpret_cast<const char*>(m_valueSource);
    m_attrName.clear();
    m_attrValue.clear();
}
bool CScriptParser::OnLineTag(std::string&, std::vector<std::string>&) { return false; }
void CScriptParser::OnError(const std::string&) {}
void CScriptParser::OnBlankLine() {}

void CScriptParser::ParseCommand(const std::string& command) {
    if (command.empty() || m_commandDepth > 0) return;
    ++m_commandDepth;
    // The blocks of a command carry the line where it is inserted, whatever line ends it holds.
    const int32_t step = m_lineStep;
    m_lineStep = 0;
    // A copy: the command may replace its own setting while it is parsed.
    const std::string text = command;
    Parse(text.c_str());
    m_lineStep = step;
    --m_commandDepth;
}

void CScriptParser::Reset() {
    m_text.clear();
    m_label.clear();
    m_tagName.clear();
    m_attrName.clear();
    m_attrValue.clear();
    m_arguments.clear();
    m_attributes.clear();
}

size_t CScriptParser::ReadUntil(const unsigned char*& p, StopSet set, bool escapes, std::string& out) {
    const uint8_t* cls = m_class[escapes ? 1 : 0][set];
    const size_t before = out.size();
    size_t unchanged = std::string::npos;
    auto result = [&] { return (unchanged == std::string::npos ? out.size() : unchanged) - before; };
    for (;;) {
        const unsigned char* start = p;
        for (;;) {
            uint8_t k = cls[*p];
            if (k == kPlain) {
                ++p;
            } else if (k == kLead) {
                // Trail bytes are taken unexamined, but never past the end of the text.
                unsigned n = m_lead[*p];
                ++p;
                for (unsigned i = 1; i < n && *p; ++i, ++p)
                    if (*p == '\n') m_line += m_lineStep;
            } else {
                break;
            }
        }
        out.append(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
        const unsigned char c = *p;
        if (c == 0 || cls[c] == kStop) return result();
        if (c == '\r') {
            if (unchanged == std::string::npos) unchanged = out.size();
            ++p;
        } else if (c == '\n') {
            m_line += m_lineStep;
            out += '\n';
            ++p;
        } else {  // backslash with escapes on: the next character is literal
            if (unchanged == std::string::npos) unchanged = out.size();
            ++p;
            unsigned char e = *p;
            if (e == 0) return result();  // a backslash at the very end is dropped
            if (e == '\r') {
                // A carriage return is never kept: an escaped CR LF is an escaped line end.
                ++p;
                if (*p == '\n') {
                    m_line += m_lineStep;
                    out += '\n';
                    ++p;
                }
                continue;
            }
            unsigned n = m_lead[e] ? m_lead[e] : 1;
            const unsigned char* s = p;
            for (unsigned i = 0; i < n && *p; ++i, ++p)
                if (*p == '\n') m_line += m_lineStep;
            out.append(reinterpret_cast<const char*>(s), static_cast<size_t>(p - s));
        }
    }
}

void CScriptParser::SkipChars(const unsigned char*& p, bool lineEnds, bool carriageReturns) {
    for (;;) {
        unsigned char c = *p;
        if (c == ' ' || c == '\t') {
            ++p;
        } else if (c == '\n' && lineEnds) {
            m_line += m_lineStep;
            ++p;
        } else if (c == '\r' && carriageReturns) {
            ++p;
        } else {
            return;
        }
    }
}

void CScriptParser::EmitTag(int& state, bool rawMode) {
    if (!rawMode && m_rawBodyTags.count(m_tagName)) {
        state = kRawBody;
        m_attrName.clear();
        m_attrValue.clear();
        return;
    }
    OnTag(m_tagName, m_attributes);
    Reset();
    state = kBetween;
}

void CScriptParser::EmitLineTag() {
    OnLineTag(m_tagName, m_arguments);
    Reset();
}

void CScriptParser::RaiseTextWithCommands() {
    if (m_lineEndCommands.empty() && m_charCommands.empty()) {
        OnText(m_text);
        m_text.clear();
        return;
    }
    // The last character: its last byte, or the whole multibyte character it ends.
    size_t last = 0;
    for (size_t i = 0; i < m_text.size();) {
        last = i;
        unsigned n = m_lead[static_cast<unsigned char>(m_text[i])];
        i += n ? n : 1;
    }
    std::string lastChar = m_text.substr(last);
    OnText(m_text);
    m_text.clear();
    // Copies: a command may change the tables while it is parsed.
    std::vector<std::string> commands;
    auto it = m_charCommands.find(lastChar);
    if (it != m_charCommands.end())
        commands = it->second;
    else
        commands = m_lineEndCommands;
    for (const std::string& command : commands) ParseCommand(command);
}

bool CScriptParser::Parse(const char* text) {
    if (!text) return false;
    Position at = Start(text);
    Run(at, SIZE_MAX);
    return false;
}

void CScriptParser::BeginParse(const char* text) { m_staged = Start(text); }

bool CScriptParser::ContinueParse(size_t bytes) { return m_staged.p && Run(m_staged, bytes); }

CScriptParser::Position CScriptParser::Start(const char* text) {
    Position at;
    at.savedLine = m_line;
    if (m_line == 0) m_line = 1;
    Reset();
    at.base = at.p = reinterpret_cast<const unsigned char*>(text);
    // A UTF-8 byte-order mark (Windows editors write one) would make the first label text.
    if (at.p[0] == 0xEF && at.p[1] == 0xBB && at.p[2] == 0xBF) at.p += 3;
    return at;
}

void CScriptParser::RaiseBadTag() {
    OnError(BadTagMessage(m_encoding));
    Reset();
}

// Between tokens: what the next character starts.
inline void CScriptParser::StepBetween(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    bool& lineStart = at.lineStart;
    const unsigned char c = *p;
    if (m_lead[c] || c == '\\') {
        if (lineStart) OnLineHead(reinterpret_cast<const char*>(p));
        state = kText;
        lineStart = false;
    } else if (c == ' ' || c == '\t' || c == '\r') {
        ++p;
    } else if (c == '\n') {
        if (lineStart) OnBlankLine();
        lineStart = true;
        m_line += m_lineStep;
        ++p;
    } else if (lineStart && m_lineTagsAllowed && m_lineTagPrefix != 0 &&
               c == static_cast<unsigned char>(m_lineTagPrefix)) {
        ++p;
        state = kLineTagName;
        lineStart = false;
    } else if (c == '@') {
        m_tagName = "@";
        EmitTag(state, false);
        lineStart = false;
        ++p;
    } else if (c == ';' || (c == '/' && p[1] == '/')) {
        state = kLineComment;
        lineStart = false;
        ++p;
    } else if (c == '/' && p[1] == '*') {
        // Step onto the asterisk, which counts for the end: "/*/" is a whole comment.
        state = kBlockComment;
        lineStart = false;
        ++p;
    } else if (c == '*') {
        state = kLabel;
        lineStart = false;
        ++p;
    } else if (c == '[') {
        state = kTagName;
        lineStart = false;
        ++p;
    } else if (lineStart && m_lineTagsAllowed && m_lineTagPrefix == 0 && c < 0x80) {
        // Only an ASCII character starts a line tag: a line that begins with a
        // single-byte non-ASCII character (half-width katakana) is text.
        state = kLineTagName;
        lineStart = false;
    } else {
        if (lineStart) OnLineHead(reinterpret_cast<const char*>(p));
        state = kText;
        lineStart = false;
    }
}

inline void CScriptParser::StepLineComment(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    bool& lineStart = at.lineStart;
    while (*p && *p != '\n') {
        unsigned n = m_lead[*p] ? m_lead[*p] : 1;
        for (unsigned i = 0; i < n && *p; ++i) ++p;
    }
    if (*p == '\n') {
        m_line += m_lineStep;
        ++p;
        state = kBetween;
        lineStart = true;
    }
}

inline void CScriptParser::StepBlockComment(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    while (*p) {
        if (*p == '*' && p[1] == '/') {
            p += 2;
            state = kBetween;
            break;
        }
        unsigned n = m_lead[*p] ? m_lead[*p] : 1;
        for (unsigned i = 0; i < n && *p; ++i, ++p)
            if (*p == '\n') m_line += m_lineStep;
    }
}

inline void CScriptParser::StepLineTagName(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    bool& lineStart = at.lineStart;
    ReadUntil(p, kStopLineTagName, false, m_tagName);
    const unsigned char c = *p;
    if (m_tagName.empty()) {
        if (c == 0) return;
        if (c == '\n') {
            m_line += m_lineStep;
            lineStart = true;
        }
        ++p;
        state = kBetween;
    } else if (c == 0) {
        state = kLineTagArgs;  // a name at the end of the text: a line tag without arguments
    } else if (c == '\n') {
        EmitLineTag();
        m_line += m_lineStep;
        ++p;
        state = kBetween;
        lineStart = true;
    } else {
        ++p;
        state = kLineTagArgs;
    }
}

inline void CScriptParser::StepLineTagArgs(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    bool& lineStart = at.lineStart;
    SkipChars(p, false, false);
    ReadUntil(p, kStopLineTagArg, true, m_attrName);
    const unsigned char c = *p;
    if (c == 0) return;
    m_arguments.push_back(m_attrName);
    m_attrName.clear();
    ++p;
    if (c == '\n') {
        EmitLineTag();
        m_line += m_lineStep;
        state = kBetween;
        lineStart = true;
    }
}

inline void CScriptParser::StepLabel(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    bool& lineStart = at.lineStart;
    ReadVerbatim(p, kStopLine, false, m_label, m_verbatimSource);
    if (*p == 0) return;
    if (!m_label.empty()) OnLabel(m_label);
    Reset();
    m_line += m_lineStep;
    ++p;
    state = kBetween;
    lineStart = true;
}

inline void CScriptParser::StepTagName(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    SkipChars(p, true, true);
    ReadUntil(p, kStopTagName, true, m_tagName);
    const unsigned char c = *p;
    if (c == 0) return;
    if (c == '[') {
        RaiseBadTag();
        ++p;
        state = kTagName;
    } else if (m_tagName.empty()) {
        RaiseBadTag();
        ++p;
        state = kBetween;
    } else if (c == ']') {
        ++p;
        EmitTag(state, false);
    } else {
        if (c == '\n') m_line += m_lineStep;
        ++p;
        state = kAttrName;
    }
}

inline void CScriptParser::StepAttrName(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    SkipChars(p, true, true);
    ReadUntil(p, kStopAttrName, false, m_attrName);
    const unsigned char c = *p;
    if (c == 0) return;
    if (c == '=') {
        ++p;
        if (!m_attrName.empty()) {
            state = kAttrValue;
        } else {
            // Skip the rest of the tag, up to and including the next bracket.
            RaiseBadTag();
            while (*p && *p != '[' && *p != ']') {
                unsigned n = m_lead[*p] ? m_lead[*p] : 1;
                for (unsigned i = 0; i < n && *p; ++i, ++p)
                    if (*p == '\n') m_line += m_lineStep;
            }
            if (*p) ++p;
            state = kBetween;
        }
    } else if (c == ']') {
        if (!m_attrName.empty()) AttributeSlot(m_attributes, m_attrName) = Attribute{m_attrName, {}, nullptr};
        ++p;
        EmitTag(state, false);
    } else if (c == '[') {
        RaiseBadTag();
        ++p;
        state = kTagName;
    } else {
        if (!m_attrName.empty()) {
            AttributeSlot(m_attributes, m_attrName) = Attribute{m_attrName, {}, nullptr};
            state = kAfterAttrName;
        }
        if (c == '\n') m_line += m_lineStep;
        ++p;
    }
}

inline void CScriptParser::StepAfterAttrName(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    SkipChars(p, true, true);
    if (*p == 0) return;
    if (*p == '=') {
        ++p;
        state = kAttrValue;
    } else {
        m_attrName.clear();
        state = kAttrName;
    }
}

inline void CScriptParser::StepAttrValue(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    SkipChars(p, true, true);
    if (*p == 0) return;
    if (*p == '"') {
        ++p;
        ReadVerbatim(p, kStopQuoted, true, m_attrValue, m_valueSource);
        if (*p == 0) return;
        SetValue();
        ++p;
        state = kAttrName;
        return;
    }
    ReadVerbatim(p, kStopBareValue, true, m_attrValue, m_valueSource);
    const unsigned char c = *p;
    if (c == 0) return;
    if (m_attrValue.empty()) {
        RaiseBadTag();
        ++p;
        state = c == '[' ? kTagName : kBetween;
        return;
    }
    SetValue();
    ++p;
    if (c == ']') {
        EmitTag(state, false);
    } else {
        if (c == '\n') m_line += m_lineStep;
        state = kAttrName;
    }
}

inline void CScriptParser::StepText(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    bool& lineStart = at.lineStart;
    const unsigned char* const base = at.base;
    ReadVerbatim(p, kStopText, true, m_text, m_verbatimSource);
    const unsigned char c = *p;
    if (c == 0) return;
    if (c == '\n') {
        if (!m_text.empty()) RaiseTextWithCommands();
        OnLineEnd(reinterpret_cast<const char*>(p), static_cast<size_t>(p - base));
        m_line += m_lineStep;
        ++p;
        state = kBetween;
        lineStart = true;
        return;
    }
    if (!m_text.empty()) {
        OnText(m_text);
        m_text.clear();
    }
    ++p;
    if (c == '@') {
        m_tagName = "@";
        EmitTag(state, false);
        if (state == kBetween) state = kText;  // the text after "@" is a new run
    } else {
        state = kTagName;
    }
}

inline void CScriptParser::StepRawBody(Position& at) {
    const unsigned char*& p = at.p;
    int& state = at.state;
    static const std::string kScript = "script";
    Attribute& body = AttributeSlot(m_attributes, kScript);
    body.source = nullptr;
    std::string& script = body.second;
    ReadUntil(p, kStopRawBody, false, script);
    if (*p == 0) return;
    // "[/" + the tag name + "]" closes the body; any other "[" belongs to it.
    bool closes = p[1] == '/';
    size_t i = 0;
    for (; closes && i < m_tagName.size(); ++i)
        if (p[2 + i] != static_cast<unsigned char>(m_tagName[i])) closes = false;
    if (closes && p[2 + i] == ']') {
        p += 3 + i;
        EmitTag(state, true);
    } else {
        script += '[';
        ++p;
    }
}

inline void CScriptParser::EndOfText(int state) {
    switch (state) {
        case kLineTagArgs:
            if (!m_attrName.empty()) m_arguments.push_back(m_attrName);
            EmitLineTag();
            break;
        case kLabel:
            if (!m_label.empty()) OnLabel(m_label);
            break;
        case kTagName:
        case kAttrName:
        case kAfterAttrName:
        case kAttrValue: RaiseBadTag(); break;
        case kText:
            if (!m_text.empty()) OnText(m_text);
            break;
        default: break;
    }
    Reset();
}

bool CScriptParser::Run(Position& at, size_t bytes) {
    const unsigned char* const from = at.p;
    Position cur = at;
    while (*cur.p) {
        switch (cur.state) {
            case kBetween:
                // Nothing is pending at a line's start: a slice can end there.
                if (cur.lineStart && static_cast<size_t>(cur.p - from) >= bytes) {
                    at.p = cur.p;
                    at.state = cur.state;
                    at.lineStart = cur.lineStart;
                    return true;
                }
                StepBetween(cur);
                break;
            case kLineComment: StepLineComment(cur); break;
            case kBlockComment: StepBlockComment(cur); break;
            case kLineTagName: StepLineTagName(cur); break;
            case kLineTagArgs: StepLineTagArgs(cur); break;
            case kLabel: StepLabel(cur); break;
            case kTagName: StepTagName(cur); break;
            case kAttrName: StepAttrName(cur); break;
            case kAfterAttrName: StepAfterAttrName(cur); break;
            case kAttrValue: StepAttrValue(cur); break;
            case kText: StepText(cur); break;
            case kRawBody: StepRawBody(cur); break;
        }
    }
    EndOfText(cur.state);
    m_line = at.savedLine;
    at.p = nullptr;
    return false;
}

}  // namespace kestrin
