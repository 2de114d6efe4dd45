#include "SCRIPT/COruParser.h"

#include <cstring>

#include "CORE/CIni.h"
#include "CORE/COruPackFile.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/ParserMessages.h"

namespace kestrin {

namespace {
// atoi's reading of a value, only as zero or not.
bool IsNonZeroNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (text[i] != '0') return true;
    return false;
}
}  // namespace

std::shared_ptr<CIni> COruParser::LoadTagDefinitions() {
    COruPackFile file;
    if (file.Open("tag.ini")) return nullptr;
    auto ini = std::make_shared<CIni>();
    const int size = file.GetSize();
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    const int n = size > 0 ? file.Read(&text[0], static_cast<unsigned>(size)) : 0;
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    ini->Parse(text.c_str(), text.size());
    return ini;
}

COruParser::COruParser() : m_tagDefinitions(LoadTagDefinitions()) { Init(); }

COruParser::COruParser(std::shared_ptr<CIni> tagDefinitions) : m_tagDefinitions(std::move(tagDefinitions)) { Init(); }

COruParser::~COruParser() = default;

void COruParser::Init() {
    AddRawBodyTag("lua");
    for (const CMainScript::TagRow& row : CMainScript::Tags()) {
        if (!row.required[0]) continue;
        std::vector<std::string>& names = m_required[row.name];
        for (const char* attribute : row.required)
            if (attribute) names.emplace_back(attribute);
    }
}

COruParser::BlockList COruParser::TakeBlocks() {
    m_blocks.Trim();
    BlockList blocks = std::move(m_blocks);
    m_blocks.clear();
    // The interned names were offsets into the list handed over.
    m_names.clear();
    for (RecentName& recent : m_recentNames) recent.used = false;
    return blocks;
}

bool COruParser::Parse(const char* text) {
    if (!text || InInsertedCommand()) return CScriptParser::Parse(text);
    const size_t size = std::strlen(text);
    if (m_blocks.empty() && !m_blocks.GetSource() && m_blocks.GetTextBytes() == 0) {
        // The blocks refer to the script's own text: a copy of it, kept with them.
        ScriptText copy(text, text + size + 1);
        return ParseScript(copy);
    }
    m_blocks.Reserve(size);
    return CScriptParser::Parse(text);
}

bool COruParser::ParseScript(ScriptText& text) {
    if (text.empty() || text.back() != 0) text.push_back(0);
    if (!m_blocks.AdoptSource(text)) {
        m_blocks.Reserve(text.size());
        return CScriptParser::Parse(text.data());
    }
    m_blocks.Reserve(m_blocks.GetSourceBytes());
    return CScriptParser::Parse(m_blocks.GetSource());
}

COruParser::BlockList COruParser::ParseScriptInSlices(std::shared_ptr<COruParser> parser, ScriptText& text) {
    if (text.empty() || text.back() != 0) text.push_back(0);
    if (!parser->m_blocks.AdoptSource(text)) {
        parser->ParseScript(text);
        return parser->TakeBlocks();
    }
    parser->m_blocks.Reserve(parser->m_blocks.GetSourceBytes());
    // The text stays where it is when the list moves: the parse may go on from it.
    parser->BeginParse(parser->m_blocks.GetSource());
    BlockList blocks = std::move(parser->m_blocks);
    parser->m_blocks.clear();
    // The interned names stay: they are numbers in this list.
    blocks.SetRest([parser](BlockList& into, size_t bytes) {
        parser->m_blocks = std::move(into);
        const bool more = parser->ContinueParse(bytes);
        if (!more) parser->m_blocks.Trim();
        into = std::move(parser->m_blocks);
        parser->m_blocks.clear();
        return more;
    });
    return blocks;
}

size_t COruParser::RecentSlot(const std::string& name) {
    const size_t n = name.size();
    const size_t ends = n ? static_cast<unsigned char>(name[0]) * 3u + static_cast<unsigned char>(name[n - 1]) : 0;
    return (n * 7 + ends) % kRecentNames;
}

uint32_t COruParser::Intern(const std::string& name) {
    RecentName& recent = m_recentNames[RecentSlot(name)];
    if (recent.used && recent.name == name) return recent.number;
    uint32_t number;
    auto it = m_names.find(name);
    if (it != m_names.end()) {
        number = it->second;
    } else {
        number = m_blocks.AddName(name);
        m_names.emplace(name, number);
    }
    recent.name = name;
    recent.number = number;
    recent.used = true;
    return number;
}

void COruParser::OnLineHead(const char*) { ParseCommand(m_lineHeadCommand); }

void COruParser::OnLineEnd(const char*, size_t) { ParseCommand(m_lineEndCommand); }

void COruParser::OnBlankLine() { ParseCommand(m_blankLineCommand); }

bool COruParser::OnText(std::string& text) {
    m_blocks.AddBlock(CScriptBlock::kText, GetLine(), m_blocks.PlaceName(text, GetVerbatimSource()),
                      static_cast<uint32_t>(text.size()));
    return false;
}

bool COruParser::OnLabel(std::string& label) {
    m_blocks.AddBlock(CScriptBlock::kLabel, GetLine(), m_blocks.PlaceName(label, GetVerbatimSource()),
                      static_cast<uint32_t>(label.size()));
    return false;
}

void COruParser::OnError(const std::string& message) {
    m_blocks.AddBlock(CScriptBlock::kMessage, GetLine(), m_blocks.GetNameOffset(Intern(message)),
                      static_cast<uint32_t>(message.size()));
}

bool COruParser::OnTag(std::string& name, AttributeList& attributes) {
    if (LacksRequired(name, attributes)) return false;
    if (!name.empty() && name[0] == '&') {
        CScriptBlock::AttributeMap map;
        for (auto& attribute : attributes) map[attribute.first] = std::move(attribute.second);
        Preprocess(CScriptBlock(CScriptBlock::kTag, GetLine(), std::move(name), std::move(map)));
        return false;
    }
    m_blocks.AddBlock(CScriptBlock::kTag, GetLine(), m_blocks.GetNameOffset(Intern(name)),
                      static_cast<uint32_t>(name.size()));
    // The list stores attributes in name order (the names are unique already). Tags have few,
    // so an insertion sort of their indexes does.
    m_order.resize(attributes.size());
    for (size_t i = 0; i < attributes.size(); ++i) {
        size_t j = i;
        for (; j > 0 && attributes[i].first < attributes[m_order[j - 1]].first; --j) m_order[j] = m_order[j - 1];
        m_order[j] = i;
    }
    for (size_t i : m_order) {
        const auto& attribute = attributes[i];
        m_blocks.AddAttribute(Intern(attribute.first), m_blocks.PlaceValue(attribute.second, attribute.source),
                              static_cast<uint32_t>(attribute.second.size()));
    }
    return false;
}

bool COruParser::OnLineTag(std::string& name, std::vector<std::string>& arguments) {
    if (!arguments.empty() && !m_tagDefinitions) {
        OnError(GetParserMessage(kNoTagIni, GetEncoding()));
        return false;
    }
    AttributeList attributes;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string attribute = m_tagDefinitions->GetString(name.c_str(), std::to_string(i).c_str());
        if (attribute.empty()) {
            OnError(GetParserMessage(kLineTagUnmapped, GetEncoding()));
            return false;
        }
        AttributeSlot(attributes, attribute).second = std::move(arguments[i]);
    }
    return OnTag(name, attributes);
}

void COruParser::ReportMissing(const std::string& tag, const std::string& attribute) {
    const int e = GetEncoding();
    OnError(GetParserMessage(kRequiredBefore, e) + tag + GetParserMessage(kRequiredMiddle, e) + attribute +
            GetParserMessage(kRequiredAfter, e));
}

bool COruParser::LacksRequired(const std::string& tag, const AttributeList& attributes) {
    RecentTag& recent = m_recentTags[RecentSlot(tag)];
    if (!recent.used || recent.name != tag) {
        auto it = m_required.find(tag);
        recent.name = tag;
        recent.required = it == m_required.end() ? nullptr : &it->second;
        recent.used = true;
    }
    if (!recent.required) return false;
    for (const std::string& attribute : *recent.required) {
        bool found = false;
        for (const auto& present : attributes) found = found || present.first == attribute;
        if (!found) {
            ReportMissing(tag, attribute);
            return true;
        }
    }
    return false;
}

bool COruParser::LacksRequired(const std::string& tag, const CScriptBlock::AttributeMap& attributes) {
    auto it = m_required.find(tag);
    if (it == m_required.end()) return false;
    for (const std::string& attribute : it->second) {
        if (!attributes.count(attribute)) {
            ReportMissing(tag, attribute);
            return true;
        }
    }
    return false;
}

bool COruParser::CheckRequiredParameters(const CScriptBlock& block) {
    return LacksRequired(block.GetName(), block.GetAttributes());
}

void COruParser::Preprocess(const CScriptBlock& block) {
    const std::string& name = block.GetName();
    if (name == "&scpsupport") {
        if (block.GetAttributes().empty()) {
            ClearLineEndCommands();
            return;
        }
        std::string mode;
        if (block.LacksAttribute("mode", mode)) {
            OnError(GetParserMessage(kScpSupportMode, GetEncoding()));
        } else if (mode == "init") {
            ClearLineEndCommands();
        } else if (mode == "add" || mode == "addsp") {
            std::string character;
            if (block.LacksAttribute("char", character))
                AddLineEndCommand(block.GetAttribute("command"));
            else
                AddCharCommand(character, block.GetAttribute("command"));
        } else {
            OnError(GetParserMessage(kScpSupportMode, GetEncoding()));
        }
    } else if (name == "&linetag") {
        if (IsNonZeroNumber(block.GetAttribute("allow"))) {
            const std::string& prefix = block.GetAttribute("prefix");
            SetLineTag(true, prefix.empty() ? 0 : prefix[0]);
        } else {
            SetLineTag(false, 0);
        }
    } else if (name == "&autoinsert") {
        const std::string& target = block.GetAttribute("target");
        if (target == "blankline")
            m_blankLineCommand = block.GetAttribute("command");
        else if (target == "linehead")
            m_lineHeadCommand = block.GetAttribute("command");
        else if (target == "lineend")
            m_lineEndCommand = block.GetAttribute("command");
    } else {
        OnError(GetParserMessage(kUnknownPreprocessor, GetEncoding()));
    }
}

}  // namespace kestrin
