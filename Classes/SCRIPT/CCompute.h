#pragma once
// The variable table with what the expression evaluator needs: quote characters,
// the list of temporary values and the text encoding.
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SCRIPT/CVariables.h"

namespace kestrin {

class CCompute : public CVariables {
public:
    // Nesting of parentheses and name indexes beyond this gives no result.
    static constexpr int kMaxDepth = 128;

    CCompute();
    ~CCompute() override;

    int GetEncoding() const { return m_encoding; }
    void SetEncoding(int encoding);

    void AddQuoteCharacter(unsigned char c);
    bool IsQuoteCharacter(unsigned char c) const { return m_isQuote[c]; }
    const std::set<unsigned char>& GetQuoteCharacters() const { return m_quotes; }
    void SetQuoteCharacters(const std::set<unsigned char>& quotes);

    // Evaluates the expression at position (zero-terminated), advancing it; stops at the end
    // of the text or after a ")" that closes the level. Null when the expression has no value.
    // The result may be a variable of the store or a temporary (valid until ClearTemporaries).
    CVariant* EvaluateExpression(const char*& position);
    // The value of the expression as a string ("" when it has none); temporaries are freed.
    std::string Evaluate(const std::string& expression);
    // Frees every value the evaluator made.
    void ClearTemporaries();
    size_t GetTemporaryCount() const { return m_usedTemporaries; }

    // The store's variable of that name; created with the int 0 when absent.
    CVariant* LookupOrCreate(const std::string& name);
    // base 0: the bytes as a string; base 10 or 16: a signed int, clamped to 32 bits.
    CVariant* MakeLiteral(const char* start, const char* end, int base);
    CVariant* MakeInt(int32_t value);
    CVariant* MakeString(const std::string& value);

private:
    struct Token {
        int kind;         // 1 value, 2 operator
        CVariant* value;  // kind 1
        int op;           // kind 2
    };

    // What reading a token leaves to do: read on, end the level, or fail.
    enum class TokenStep { kGoOn, kEnd, kFail };

    CVariant* EvaluateLevel(const unsigned char*& p, int depth);
    // Reads the level's tokens into list; false on a failure.
    bool ReadTokens(const unsigned char*& p, int depth, std::vector<Token>& list);
    TokenStep ReadNumber(const unsigned char*& p, std::vector<Token>& list);
    TokenStep ReadQuoted(const unsigned char*& p, std::vector<Token>& list);
    // A variable name with its indexes ("a(1)(b)"): the value is looked up, or made, and pushed.
    TokenStep ReadName(const unsigned char*& p, int depth, std::vector<Token>& list);
    bool PushName(const std::string& prefix, const unsigned char* start, const unsigned char* end,
                  std::vector<Token>& list);
    static bool LastIsValue(const std::vector<Token>& list) { return !list.empty() && list.back().kind == 1; }
    // The six operator passes, by precedence; null when the tokens do not make an expression.
    CVariant* Reduce(std::vector<Token>& list);
    CVariant* Apply(int op, CVariant* left, CVariant* right);
    CVariant* NewTemporary();

    std::set<unsigned char> m_quotes;
    bool m_isQuote[256] = {};
    int m_encoding = 0;
    const uint8_t* m_lead = nullptr;
    // Reused between evaluations; only the first m_usedTemporaries are live.
    std::vector<std::unique_ptr<CVariant>> m_temporaries;
    size_t m_usedTemporaries = 0;
    // Per-depth working lists and name prefixes (a deque keeps references stable as it grows).
    std::deque<std::vector<Token>> m_lists;
    std::deque<std::string> m_prefixes;
    bool m_abort = false;
    const char* m_expression = "";  // the text being evaluated, for trace lines
};

}  // namespace kestrin
