#pragma once
// The scenario parser: a single-pass state machine over the zero-terminated text of one
// ".iet" script, raising an event for every text run, label, tag, line tag, blank line,
// line head, line end and syntax error. Derived parsers build blocks from the events.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kestrin {

class CScriptParser {
public:
    struct Attribute {
        std::string first;   // name
        std::string second;  // value
        // Where the value stands unchanged in the parsed text, or null (unescaped, or built).
        const char* source = nullptr;
    };
    // A tag's attributes in the order they first appear; a repeated name sets the earlier entry.
    using AttributeList = std::vector<Attribute>;

    CScriptParser();
    virtual ~CScriptParser();

    // Parses the whole zero-terminated text; re-entrant for inserted commands. Always false.
    virtual bool Parse(const char* text);
    // The same a slice at a time: Begin takes the text, which must stay in place until the
    // parse ends; each Continue parses at least this many more bytes of it (whole lines) and
    // says whether any are left. The events are those of one Parse of the whole text.
    void BeginParse(const char* text);
    bool ContinueParse(size_t bytes);

    void SetLineTag(bool allowed, char prefix);
    void AddRawBodyTag(const std::string& name);
    void AddLineEndCommand(const std::string& command);
    void AddCharCommand(const std::string& character, const std::string& command);
    void ClearLineEndCommands();

    int GetEncoding() const { return m_encoding; }
    void SetEncoding(int encoding);
    int GetLine() const { return m_line; }

    // The message of every syntax error.
    static const std::string& BadTagMessage(int encoding);

protected:
    // Events. The string and map arguments may be moved from; the parser clears them after.
    virtual void OnLineHead(const char* position);
    virtual bool OnText(std::string& text);
    virtual void OnLineEnd(const char* position, size_t offset);
    virtual bool OnLabel(std::string& label);
    virtual bool OnTag(std::string& name, AttributeList& attributes);
    virtual bool OnLineTag(std::string& name, std::vector<std::string>& arguments);
    virtual void OnError(const std::string& message);
    virtual void OnBlankLine();

    // The entry of the named attribute, added empty when the list lacks it.
    static Attribute& AttributeSlot(AttributeList& attributes, const std::string& name);
    // During OnText and OnLabel: where the text or label stands unchanged in the parsed text,
    // or null when escapes or dropped carriage returns changed it.
    const char* GetVerbatimSource() const { return reinterpret_cast<const char*>(m_verbatimSource); }

    // Parses an inserted command text in place. Commands inserted while another inserted
    // command is being parsed are ignored, so that no command can insert itself without end.
    void ParseCommand(const std::string& command);
    bool InInsertedCommand() const { return m_commandDepth > 0; }

private:
    enum StopSet {
        kStopLineTagName,
        kStopLineTagArg,
        kStopLine,
        kStopTagName,
        kStopAttrName,
        kStopQuoted,
        kStopBareValue,
        kStopText,
        kStopRawBody,
        kStopSetCount
    };

    struct Position {
        const unsigned char* base = nullptr;  // the text's start
        const unsigned char* p = nullptr;     // null once the text is parsed
        int state = 0;
        bool lineStart = true;
        int32_t savedLine = 0;  // the line count of the parse this one runs inside
    };

    struct Scan;
    void BuildTables();
    Position Start(const char* text);
    // Parses from the position on; stops at the first line start at least bytes on (true) or
    // at the text's end (false).
    bool Run(Position& at, size_t bytes);
    // One step of Run in each state: reads on from at.p and moves at to the next state.
    void StepBetween(Position& at);
    void StepLineComment(Position& at);
    void StepBlockComment(Position& at);
    void StepLineTagName(Position& at);
    void StepLineTagArgs(Position& at);
    void StepLabel(Position& at);
    void StepTagName(Position& at);
    void StepAttrName(Position& at);
    void StepAfterAttrName(Position& at);
    void StepAttrValue(Position& at);
    void StepText(Position& at);
    void StepRawBody(Position& at);
    // Raises what the end of the text leaves pending, or the error of an unclosed tag.
    void EndOfText(int state);
    void RaiseBadTag();
    // Appends from p up to the first character of the stop set (escapes optionally resolved);
    // leaves p on it, or on the terminating zero. Counts line ends it takes. Returns how many
    // of the appended bytes came before the first byte it dropped (a carriage return, a
    // backslash): all of them when the text was taken unchanged.
    size_t ReadUntil(const unsigned char*& p, StopSet set, bool escapes, std::string& out);
    void SkipChars(const unsigned char*& p, bool lineEnds, bool carriageReturns);
    void Reset();
    void EmitTag(int& state, bool rawMode);
    // Reads a text, label or value; sets source to where it stands unchanged, or null.
    void ReadVerbatim(const unsigned char*& p, StopSet set, bool escapes, std::string& out,
                      const unsigned char*& source);
    void SetValue();
    void EmitLineTag();
    void RaiseTextWithCommands();

    int32_t m_line = 0;
    int m_encoding = 0;
    bool m_lineTagsAllowed = true;
    char m_lineTagPrefix = 0;
    std::set<std::string> m_rawBodyTags;
    std::vector<std::string> m_lineEndCommands;
    std::map<std::string, std::vector<std::string>> m_charCommands;

    std::string m_text, m_label, m_tagName, m_attrName, m_attrValue;
    const unsigned char* m_verbatimSource = nullptr;
    const unsigned char* m_valueSource = nullptr;
    std::vector<std::string> m_arguments;
    AttributeList m_attributes;

    Position m_staged;
    int m_commandDepth = 0;
    int32_t m_lineStep = 1;
    const uint8_t* m_lead = nullptr;
    // Per stop set: 0 plain byte, 1 lead byte, 2 stop character, 3 other special byte
    // (zero, carriage return, line end, backslash).
    uint8_t m_class[2][kStopSetCount][256];
};

}  // namespace kestrin
