#include "SCRIPT/CCompute.h"

#include <climits>

#include "CORE/CLogWindow.h"
#include "SCRIPT/LeadByteTable.h"

namespace kestrin {

namespace {
enum : int {
    kMul = 4,
    kDiv = 8,
    kMod = 16,
    kAdd = 32,
    kSub = 64,
    kLess = 512,
    kGreater = 1024,
    kLessEq = 2048,
    kGreaterEq = 4096,
    kEq = 8192,
    kNotEq = 16384,
    kAnd = 262144,
    kOr = 524288,
};
const int kPassMasks[6] = {kMul | kDiv | kMod, kAdd | kSub, kLess | kGreater | kLessEq | kGreaterEq,
                           kEq | kNotEq,       kAnd,        kOr};

// The operator at p and its length; 0 when there is none.
int OperatorCode(const unsigned char* p, int* length) {
    unsigned char c0 = p[0];
    if (c0 == 0) return 0;
    unsigned char c1 = p[1];
    *length = 2;
    if (c0 == '&' && c1 == '&') return kAnd;
    if (c0 == '|' && c1 == '|') return kOr;
    if (c1 == '=') {
        switch (c0) {
            case '!': return kNotEq;
            case '<': return kLessEq;
            case '=': return kEq;
            case '>': return kGreaterEq;
            default: break;
        }
    }
    *length = 1;
    switch (c0) {
        case '%': return kMod;
        case '*': return kMul;
        case '+': return kAdd;
        case '-': return kSub;
        case '/': return kDiv;
        case '<': return kLess;
        case '>': return kGreater;
        default: return 0;
    }
}

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int32_t U(uint32_t v) { return static_cast<int32_t>(v); }
}  // namespace

CCompute::CCompute() : m_lead(GetLeadByteTable(0)) {}

CCompute::~CCompute() = default;

void CCompute::SetEncoding(int encoding) {
    m_encoding = encoding;
    m_lead = GetLeadByteTable(encoding);
}

void CCompute::AddQuoteCharacter(unsigned char c) {
    m_quotes.insert(c);
    if (c != 0) m_isQuote[c] = true;
}

void CCompute::SetQuoteCharacters(const std::set<unsigned char>& quotes) {
    m_quotes.clear();
    for (bool& q : m_isQuote) q = false;
    for (unsigned char c : quotes) AddQuoteCharacter(c);
}

CVariant* CCompute::NewTemporary() {
    if (m_usedTemporaries == m_temporaries.size()) m_temporaries.emplace_back(new CVariant());
    return m_temporaries[m_usedTemporaries++].get();
}

void CCompute::ClearTemporaries() {
    // Keep a few cleared values for the next evaluation; free the rest.
    const size_t keep = 64;
    if (m_temporaries.size() > keep) m_temporaries.resize(keep);
    m_usedTemporaries = 0;
}

CVariant* CCompute::MakeInt(int32_t value) {
    CVariant* v = NewTemporary();
    v->SetInt(value);
    return v;
}

CVariant* CCompute::MakeString(const std::string& value) {
    CVariant* v = NewTemporary();
    v->SetString(value);
    return v;
}

CVariant* CCompute::MakeLiteral(const char* start, const char* end, int base) {
    if (base == 0) return MakeString(std::string(start, end));
    // strtol: blanks, a sign, an optional "0x" in base 16, digits; clamped to 32 bits.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(start);
    const unsigned char* e = reinterpret_cast<const unsigned char*>(end);
    while (p < e && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (p < e && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (base == 16 && e - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexValue(p[2]) >= 0) p += 2;
    uint64_t value = 0;
    for (; p < e; ++p) {
        int d = base == 16 ? HexValue(*p) : (IsDigit(*p) ? *p - '0' : -1);
        if (d < 0) break;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > 0x80000000ull) value = 0x80000000ull;
    }
    int32_t result;
    if (negative)
        result = value >= 0x80000000ull ? INT32_MIN : -static_cast<int32_t>(value);
    else
        result = value > 0x7FFFFFFFull ? INT32_MAX : static_cast<int32_t>(value);
    return MakeInt(result);
}

CVariant* CCompute::LookupOrCreate(const std::string& name) {
    CVariant* v = Find(name);
    if (!v) {
        SetInt(name, 0);
        v = Find(name);
    }
    return v;
}

CVariant* CCompute::EvaluateExpression(const char*& position) {
    m_abort = false;
    m_expression = position;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(position);
    CVariant* result = EvaluateLevel(p, 0);
    position = reinterpret_cast<const char*>(p);
    return m_abort ? nullptr : result;
}

std::string CCompute::Evaluate(const std::string& expression) {
    const char* p = expression.c_str();
    CVariant* v = EvaluateExpression(p);
    std::string result = v ? v->GetString() : std::string();
    ClearTemporaries();
    return result;
}

// One level of the expression: tokens up to the end of the text or the ")" that closes it,
// then the six operator passes. Any failure sets m_abort, which ends every level at once.
CVariant* CCompute::EvaluateLevel(const unsigned char*& p, int depth) {
    if (depth > kMaxDepth) {
        Log(ELogLevel::Error, "Expression", "nested deeper than %d levels has no value: %s", kMaxDepth, m_expression);
        m_abort = true;
        return nullptr;
    }
    while (m_lists.size() <= static_cast<size_t>(depth)) {
        m_lists.emplace_back();
        m_prefixes.emplace_back();
    }
    std::vector<Token>& list = m_lists[depth];
    list.clear();
    CVariant* result = ReadTokens(p, depth, list) ? Reduce(list) : nullptr;
    if (!result) m_abort = true;
    return result;
}

inline bool CCompute::ReadTokens(const unsigned char*& p, int depth, std::vector<Token>& list) {
    for (;;) {
        const unsigned char c = *p;
        if (c == 0) return true;
        if (IsBlank(c)) {
            ++p;
            continue;
        }
        TokenStep step;
        int length = 0;
        if (IsDigit(c)) {
            step = ReadNumber(p, list);
        } else if (m_isQuote[c]) {
            step = ReadQuoted(p, list);
        } else if (int op = OperatorCode(p, &length)) {
            list.push_back(Token{2, nullptr, op});
            p += length;
            continue;
        } else if (c == '(') {
            if (LastIsValue(list)) return false;
            ++p;
            CVariant* v = EvaluateLevel(p, depth + 1);
            if (m_abort || !v) return false;
            list.push_back(Token{1, v, 0});
            continue;
        } else if (c == ')') {
            ++p;
            return true;
        } else {
            step = ReadName(p, depth, list);
        }
        if (step != TokenStep::kGoOn) return step == TokenStep::kEnd;
    }
}

inline CCompute::TokenStep CCompute::ReadNumber(const unsigned char*& p, std::vector<Token>& list) {
    const unsigned char* start = p;
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
        while (HexValue(*p) >= 0) ++p;
    } else {
        while (IsDigit(*p)) ++p;
    }
    if (LastIsValue(list)) return TokenStep::kFail;
    bool negate = false;
    if (!list.empty() && (list.size() == 1 || list[list.size() - 2].kind == 2)) {
        // The operator before the number stands where a sign can be.
        int op = list.back().op;
        if (op != kSub && op != kAdd) return TokenStep::kFail;
        negate = op == kSub;
        list.pop_back();
    }
    CVariant* v = MakeLiteral(reinterpret_cast<const char*>(start), reinterpret_cast<const char*>(p), base);
    if (negate) v->SetInt(U(0u - static_cast<uint32_t>(v->GetInt())));
    list.push_back(Token{1, v, 0});
    return TokenStep::kGoOn;
}

inline CCompute::TokenStep CCompute::ReadQuoted(const unsigned char*& p, std::vector<Token>& list) {
    const unsigned char* start = ++p;
    bool closed = false;
    while (*p) {
        unsigned char b = *p;
        if (m_isQuote[b]) {
            closed = true;
            break;
        }
        if (b == '\\') {
            ++p;
            if (!*p) break;
            b = *p;
        }
        unsigned n = m_lead[b];
        ++p;
        for (unsigned i = 1; i < n && *p; ++i) ++p;
    }
    if (!closed) return TokenStep::kEnd;  // an unclosed literal is dropped and reading ends
    if (LastIsValue(list)) return TokenStep::kFail;
    list.push_back(
        Token{1, MakeString(std::string(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start))), 0});
    ++p;
    return TokenStep::kGoOn;
}

inline CCompute::TokenStep CCompute::ReadName(const unsigned char*& p, int depth, std::vector<Token>& list) {
    std::string& prefix = m_prefixes[depth];
    prefix.clear();
    const unsigned char* nameStart = p;
    for (;;) {
        const unsigned char c = *p;
        int length = 0;
        if (c == 0) return PushName(prefix, nameStart, p, list) ? TokenStep::kEnd : TokenStep::kFail;
        if (IsBlank(c)) {
            if (!PushName(prefix, nameStart, p, list)) return TokenStep::kFail;
            ++p;
            return TokenStep::kGoOn;
        }
        if (m_isQuote[c]) return TokenStep::kFail;
        if (c == '(') {
            prefix.append(reinterpret_cast<const char*>(nameStart), static_cast<size_t>(p - nameStart));
            ++p;
            CVariant* index = EvaluateLevel(p, depth + 1);
            if (m_abort || !index) return TokenStep::kFail;
            prefix.append(index->GetString());
            nameStart = p;
            continue;
        }
        if (c == ')') {
            if (!PushName(prefix, nameStart, p, list)) return TokenStep::kFail;
            ++p;
            return TokenStep::kEnd;
        }
        if (OperatorCode(p, &length)) {
            // The operator is read outside the name.
            return PushName(prefix, nameStart, p, list) ? TokenStep::kGoOn : TokenStep::kFail;
        }
        // Part of the name; a multibyte character is taken whole.
        unsigned n = m_lead[c];
        ++p;
        for (unsigned i = 1; i < n && *p; ++i) ++p;
    }
}

inline bool CCompute::PushName(const std::string& prefix, const unsigned char* start, const unsigned char* end,
                               std::vector<Token>& list) {
    if (LastIsValue(list)) return false;
    std::string name;
    name.reserve(prefix.size() + static_cast<size_t>(end - start));
    name.append(prefix);
    name.append(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
    CVariant* v = LookupOrCreate(name);
    if (!v) return false;
    list.push_back(Token{1, v, 0});
    return true;
}

inline CVariant* CCompute::Reduce(std::vector<Token>& list) {
    size_t n = list.size();
    if (n == 0) return nullptr;
    for (int pass = 0; pass < 6; ++pass) {
        const int mask = kPassMasks[pass];
        size_t out = 0;
        for (size_t i = 0; i < n; ++i) {
            const Token t = list[i];
            if (t.kind == 2 && (t.op & mask)) {
                if (out == 0 || list[out - 1].kind != 1 || i + 1 >= n || list[i + 1].kind != 1) return nullptr;
                list[out - 1].value = Apply(t.op, list[out - 1].value, list[i + 1].value);
                ++i;
            } else {
                list[out++] = t;
            }
        }
        n = out;
    }
    if (list[0].kind != 1) return nullptr;
    return list[0].value;
}

CVariant* CCompute::Apply(int op, CVariant* left, CVariant* right) {
    switch (op) {
        case kAdd:
            if (left->IsNumeric() && right->IsNumeric())
                return MakeInt(U(static_cast<uint32_t>(left->GetInt()) + static_cast<uint32_t>(right->GetInt())));
            return MakeString(left->GetString() + right->GetString());
        case kEq:
        case kNotEq: {
            bool equal = (!left->IsString() && !right->IsString()) ? left->GetInt() == right->GetInt()
                                                                   : left->GetString() == right->GetString();
            return MakeInt((op == kEq) == equal ? 1 : 0);
        }
        default: break;
    }
    const int32_t l = left->GetInt();
    const int32_t r = right->GetInt();
    switch (op) {
        case kMul: return MakeInt(U(static_cast<uint32_t>(l) * static_cast<uint32_t>(r)));
        case kDiv:
        case kMod:
            if (r == 0) {
                Log(ELogLevel::Warning, "Expression", "%s by zero gives 0: %s", op == kDiv ? "division" : "remainder",
                    m_expression);
                return MakeInt(0);
            }
            if (l == INT32_MIN && r == -1) {
                Log(ELogLevel::Warning, "Expression", "-2147483648 %s -1 overflows and gives 0: %s",
                    op == kDiv ? "/" : "%", m_expression);
                return MakeInt(0);
            }
            return MakeInt(op == kDiv ? l / r : l % r);
        case kSub: return MakeInt(U(static_cast<uint32_t>(l) - static_cast<uint32_t>(r)));
        case kLess: return MakeInt(l < r);
        case kGreater: return MakeInt(l > r);
        case kLessEq: return MakeInt(l <= r);
        case kGreaterEq: return MakeInt(l >= r);
        case kAnd: return MakeInt(l != 0 && r != 0);
        case kOr: return MakeInt(l != 0 || r != 0);
        default: return MakeInt(0);
    }
}

}  // namespace kestrin
