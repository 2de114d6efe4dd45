#pragma once
// The interpreter's parser: builds the block list of one script file from the parser's
// events, rejects tags that lack a required attribute, maps line-tag arguments to attribute
// names through "tag.ini", runs the "&" preprocessor tags and inserts the configured
// commands at blank lines, line heads and line ends.
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "SCRIPT/CScriptBlock.h"
#include "SCRIPT/CScriptBlockList.h"
#include "SCRIPT/CScriptParser.h"

namespace kestrin {

class CIni;

class COruParser : public CScriptParser {
public:
    using BlockList = CScriptBlockList;

    // Reads "tag.ini" through the pack-aware file layer (no definitions when it does not open).
    COruParser();
    // Uses the given tag definitions (null: no "tag.ini").
    explicit COruParser(std::shared_ptr<CIni> tagDefinitions);
    ~COruParser() override;

    // The first script parsed is copied and kept with the blocks, which refer to it.
    bool Parse(const char* text) override;
    // Parses a script's text (made zero-terminated), which the blocks take over when they are
    // still empty; text is left empty then.
    bool ParseScript(ScriptText& text);

    // Parses a script's text as ParseScript does, a slice at a time: the list returned holds
    // the parser and parses on as the game reads past its end (CScriptBlockList::Rest).
    static BlockList ParseScriptInSlices(std::shared_ptr<COruParser> parser, ScriptText& text);

    BlockList& GetBlocks() { return m_blocks; }
    // Hands the parsed script over, trimmed to size; the parser is left without blocks.
    BlockList TakeBlocks();
    const std::shared_ptr<CIni>& GetTagDefinitions() const { return m_tagDefinitions; }
    // The required attributes of each tag, taken from CMainScript::Tags().
    const std::unordered_map<std::string, std::vector<std::string>>& GetRequiredParameters() const {
        return m_required;
    }

    // True when the tag lacks a required attribute (reported, to be dropped).
    bool CheckRequiredParameters(const CScriptBlock& block);
    // Runs one "&" tag.
    void Preprocess(const CScriptBlock& block);

    // "tag.ini" read through the file layer, or null when it does not open.
    static std::shared_ptr<CIni> LoadTagDefinitions();

protected:
    void OnLineHead(const char* position) override;
    bool OnText(std::string& text) override;
    void OnLineEnd(const char* position, size_t offset) override;
    bool OnLabel(std::string& label) override;
    bool OnTag(std::string& name, AttributeList& attributes) override;
    bool OnLineTag(std::string& name, std::vector<std::string>& arguments) override;
    void OnError(const std::string& message) override;
    void OnBlankLine() override;

private:
    void Init();
    // The number of the one copy of a tag or attribute name in the block list.
    uint32_t Intern(const std::string& name);
    bool LacksRequired(const std::string& tag, const AttributeList& attributes);
    bool LacksRequired(const std::string& tag, const CScriptBlock::AttributeMap& attributes);
    void ReportMissing(const std::string& tag, const std::string& attribute);

    // A slot of the recent-name caches, chosen from the size and the ends of the name.
    static size_t RecentSlot(const std::string& name);

    BlockList m_blocks;
    std::unordered_map<std::string, uint32_t> m_names;
    // The names interned and the tags checked last: a script uses few of either, so most
    // blocks find theirs here without hashing them whole.
    static constexpr size_t kRecentNames = 64;
    struct RecentName {
        std::string name;
        uint32_t number = 0;
        bool used = false;
    };
    RecentName m_recentNames[kRecentNames];
    struct RecentTag {
        std::string name;
        const std::vector<std::string>* required = nullptr;  // null: none
        bool used = false;
    };
    RecentTag m_recentTags[kRecentNames];
    std::vector<size_t> m_order;
    std::shared_ptr<CIni> m_tagDefinitions;
    std::unordered_map<std::string, std::vector<std::string>> m_required;
    std::string m_blankLineCommand;
    std::string m_lineHeadCommand;
    std::string m_lineEndCommand;
};

}  // namespace kestrin
