#include "SCRIPT/COruParser.h"

#include "CORE/CIni.h"
#include "CORE/COruPackFile.h"
#include "SCRIPT/ParserMessages.h"

namespace kestrin {

namespace {
// Tags and the attributes they must have, checked in this order.
const char* const kRequired[][9] = {
    {"&linetag", "allow"},
    {"&autoinsert", "target"},
    {"calllua", "function"},
    {"debug", "mode"},
    {"caption", "data"},
    {"direction", "dir"},
    {"openbrowser", "url"},
    {"autosave", "allow"},
    {"rclick", "allow"},
    {"save", "file"},
    {"load", "file"},
    {"slider", "x", "y", "background_path", "controller_path", "var_min", "var_max", "var_name", "id"},
    {"uidel", "id"},
    {"scetween", "mode", "type"},
    {"ruby", "text"},
    {"automode", "allow"},
    {"skip", "allow"},
    {"hide", "allow"},
    {"backlog", "allow"},
    {"exec", "command"},
    {"lyc", "id", "file"},
    {"lydel", "id"},
    {"lyprop", "id"},
    {"lytween", "id", "from", "to", "msec", "param"},
    {"lytweendel", "id"},
    {"anime", "id", "mode"},
    {"animedel", "id"},
    {"setonclick", "id"},
    {"delonclick", "id"},
    {"setonrollover", "id"},
    {"delonrollover", "id"},
    {"setonrollout", "id"},
    {"delonrollout", "id"},
    {"trans", "type"},
    {"splay", "file"},
    {"sfadein", "file", "time"},
    {"sfadeout", "time"},
    {"sxfade", "file", "time"},
    {"seplay", "id", "file"},
    {"sefadein", "id", "file", "time"},
    {"sefadeout", "id", "time"},
    {"sestop", "id"},
    {"video", "file"},
    {"var", "name"},
    {"if", "estimate"},
    {"loop", "estimate"},
    {"macroadd", "file"},
};

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

COruParser::COruParser(std::shared_ptr<CIni> tagDefinitions) : m_tagDefinitions(std::move(tagDefinitions)) {
    Init();
}

COruParser::~COruParser() = default;

void COruParser::Init() {
    AddRawBodyTag("lua");
    for (const auto& entry : kRequired) {
        std::vector<std::string>& names = m_required[entry[0]];
        for (size_t i = 1; i < sizeof entry / sizeof entry[0] && entry[i]; ++i) names.emplace_back(entry[i]);
    }
}

COruParser::BlockList COruParser::TakeBlocks() {
    BlockList blocks;
    blocks.swap(m_blocks);
    return blocks;
}

void COruParser::OnLineHead(const char*) { ParseCommand(m_lineHeadCommand); }

void COruParser::OnLineEnd(const char*, size_t) { ParseCommand(m_lineEndCommand); }

void COruParser::OnBlankLine() { ParseCommand(m_blankLineCommand); }

bool COruParser::OnText(std::string& text) {
    m_blocks.push_back(std::make_unique<CScriptBlock>(CScriptBlock::kText, GetLine(), std::move(text), AttributeMap()));
    return false;
}

bool COruParser::OnLabel(std::string& label) {
    m_blocks.push_back(
        std::make_unique<CScriptBlock>(CScriptBlock::kLabel, GetLine(), std::move(label), AttributeMap()));
    return false;
}

void COruParser::OnError(const std::string& message) {
    m_blocks.push_back(std::make_unique<CScriptBlock>(CScriptBlock::kMessage, GetLine(), message));
}

bool COruParser::OnTag(std::string& name, AttributeMap& attributes) {
    auto block = std::make_unique<CScriptBlock>(CScriptBlock::kTag, GetLine(), std::move(name), std::move(attributes));
    if (CheckRequiredParameters(*block)) return false;
    if (!block->GetName().empty() && block->GetName()[0] == '&') {
        Preprocess(*block);
        return false;
    }
    m_blocks.push_back(std::move(block));
    return false;
}

bool COruParser::OnLineTag(std::string& name, std::vector<std::string>& arguments) {
    if (!arguments.empty() && !m_tagDefinitions) {
        OnError(GetParserMessage(kNoTagIni, GetEncoding()));
        return false;
    }
    AttributeMap attributes;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string attribute = m_tagDefinitions->GetString(name.c_str(), std::to_string(i).c_str());
        if (attribute.empty()) {
            OnError(GetParserMessage(kLineTagUnmapped, GetEncoding()));
            return false;
        }
        attributes[attribute] = std::move(arguments[i]);
    }
    return OnTag(name, attributes);
}

bool COruParser::CheckRequiredParameters(const CScriptBlock& block) {
    auto it = m_required.find(block.GetName());
    if (it == m_required.end()) return false;
    for (const std::string& attribute : it->second) {
        if (!block.HasAttribute(attribute)) {
            const int e = GetEncoding();
            OnError(GetParserMessage(kRequiredBefore, e) + block.GetName() + GetParserMessage(kRequiredMiddle, e) +
                    attribute + GetParserMessage(kRequiredAfter, e));
            return true;
        }
    }
    return false;
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
