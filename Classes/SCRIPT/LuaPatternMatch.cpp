#include "SCRIPT/LuaPatternMatch.h"

#include <cctype>
#include <cstddef>
#include <cstring>
#include <lua.hpp>

#include "SCRIPT/CLua.h"

// Lua errors leave these functions by a long jump (luaL_error, an error in a replacement
// function, a stopped call): no frame here may hold an object with a destructor.

namespace kestrin {

namespace {

constexpr ptrdiff_t kCaptureUnfinished = -1;
constexpr ptrdiff_t kCapturePosition = -2;
constexpr int kMaxCaptures = 32;  // LUA_MAXCAPTURES of Lua 5.1
constexpr char kEscape = '%';
constexpr const char* kSpecials = "^$*+?.([%-";
// Steps (a pattern item tried, or a character scanned) between two stop checks.
constexpr ptrdiff_t kStepsPerCheck = 4096;

struct SMatchState {
    const char* srcInit;  // the subject
    const char* srcEnd;   // its end (a zero byte follows, as after every Lua string)
    lua_State* L;
    int level;  // captures opened, finished or not
    int depth;  // nested match calls
    ptrdiff_t countdown;
    struct {
        const char* init;
        ptrdiff_t len;
    } capture[kMaxCaptures];
};

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

void Begin(SMatchState& ms, lua_State* L, const char* s, size_t length) {
    ms.L = L;
    ms.srcInit = s;
    ms.srcEnd = s + length;
    ms.level = 0;
    ms.depth = 0;
    ms.countdown = kStepsPerCheck;
}

// Counts steps of work; every few thousand the running call may be stopped (no return then).
inline void Spend(SMatchState* ms, ptrdiff_t steps) {
    ms->countdown -= steps;
    if (ms->countdown > 0) return;
    ms->countdown = kStepsPerCheck;
    CLua::StopPending(ms->L);
}

int CheckCapture(SMatchState* ms, int l) {
    l -= '1';
    if (l < 0 || l >= ms->level || ms->capture[l].len == kCaptureUnfinished)
        return luaL_error(ms->L, "invalid capture index");
    return l;
}

int CaptureToClose(SMatchState* ms) {
    int level = ms->level;
    for (level--; level >= 0; level--)
        if (ms->capture[level].len == kCaptureUnfinished) return level;
    return luaL_error(ms->L, "invalid pattern capture");
}

// The end of the single-character class that starts at p.
const char* ClassEnd(SMatchState* ms, const char* p) {
    switch (*p++) {
        case kEscape:
            if (*p == '\0') luaL_error(ms->L, "malformed pattern (ends with '%%')");
            return p + 1;
        case '[':
            if (*p == '^') p++;
            do {  // up to the closing ']'; "%]" does not close
                if (*p == '\0') luaL_error(ms->L, "malformed pattern (missing ']')");
                if (*(p++) == kEscape && *p != '\0') p++;
            } while (*p != ']');
            return p + 1;
        default: return p;
    }
}

// A class letter in lower case is the class, in upper case its complement; any other
// character stands for itself.
int MatchClass(int c, int cl) {
    switch (cl) {
        case 'a': return std::isalpha(c) != 0;
        case 'A': return std::isalpha(c) == 0;
        case 'c': return std::iscntrl(c) != 0;
        case 'C': return std::iscntrl(c) == 0;
        case 'd': return c >= '0' && c <= '9';
        case 'D': return !(c >= '0' && c <= '9');
        case 'l': return std::islower(c) != 0;
        case 'L': return std::islower(c) == 0;
        case 'p': return std::ispunct(c) != 0;
        case 'P': return std::ispunct(c) == 0;
        case 's': return std::isspace(c) != 0;
        case 'S': return std::isspace(c) == 0;
        case 'u': return std::isupper(c) != 0;
        case 'U': return std::isupper(c) == 0;
        case 'w': return std::isalnum(c) != 0;
        case 'W': return std::isalnum(c) == 0;
        case 'x': return std::isxdigit(c) != 0;
        case 'X': return std::isxdigit(c) == 0;
        case 'z': return c == 0;
        case 'Z': return c != 0;
        default: return cl == c;
    }
}

// p is at the '[' of a set, ec at its closing ']'.
int MatchBracketClass(int c, const char* p, const char* ec) {
    int sig = 1;
    if (*(p + 1) == '^') {
        sig = 0;
        p++;
    }
    while (++p < ec) {
        if (*p == kEscape) {
            p++;
            if (MatchClass(c, Byte(*p))) return sig;
        } else if (*(p + 1) == '-' && p + 2 < ec) {
            p += 2;
            if (Byte(*(p - 2)) <= c && c <= Byte(*p)) return sig;
        } else if (Byte(*p) == c) {
            return sig;
        }
    }
    return !sig;
}

int SingleMatch(int c, const char* p, const char* ep) {
    switch (*p) {
        case '.': return 1;
        case kEscape: return MatchClass(c, Byte(*(p + 1)));
        case '[': return MatchBracketClass(c, p, ep - 1);
        default: return Byte(*p) == c;
    }
}

const char* Match(SMatchState* ms, const char* s, const char* p);

const char* MatchBalance(SMatchState* ms, const char* s, const char* p) {
    if (*p == 0 || *(p + 1) == 0) luaL_error(ms->L, "unbalanced pattern");
    if (*s != *p) return nullptr;
    const int b = *p;
    const int e = *(p + 1);
    int cont = 1;
    const char* const from = s;
    while (++s < ms->srcEnd) {
        if (*s == e) {
            if (--cont == 0) {
                Spend(ms, s - from);
                return s + 1;
            }
        } else if (*s == b) {
            cont++;
        }
    }
    Spend(ms, s - from);
    return nullptr;
}

const char* MaxExpand(SMatchState* ms, const char* s, const char* p, const char* ep) {
    ptrdiff_t i = 0;
    while (s + i < ms->srcEnd && SingleMatch(Byte(*(s + i)), p, ep)) i++;
    Spend(ms, i);
    // The longest run first, one shorter each time the rest fails.
    while (i >= 0) {
        const char* res = Match(ms, s + i, ep + 1);
        if (res) return res;
        i--;
    }
    return nullptr;
}

const char* MinExpand(SMatchState* ms, const char* s, const char* p, const char* ep) {
    for (;;) {
        const char* res = Match(ms, s, ep + 1);
        if (res != nullptr) return res;
        if (s < ms->srcEnd && SingleMatch(Byte(*s), p, ep)) {
            s++;
        } else {
            return nullptr;
        }
    }
}

const char* StartCapture(SMatchState* ms, const char* s, const char* p, ptrdiff_t what) {
    const int level = ms->level;
    if (level >= kMaxCaptures) luaL_error(ms->L, "too many captures");
    ms->capture[level].init = s;
    ms->capture[level].len = what;
    ms->level = level + 1;
    const char* res = Match(ms, s, p);
    if (res == nullptr) ms->level--;
    return res;
}

const char* EndCapture(SMatchState* ms, const char* s, const char* p) {
    const int l = CaptureToClose(ms);
    ms->capture[l].len = s - ms->capture[l].init;
    const char* res = Match(ms, s, p);
    if (res == nullptr) ms->capture[l].len = kCaptureUnfinished;
    return res;
}

const char* MatchCapture(SMatchState* ms, const char* s, int l) {
    l = CheckCapture(ms, l);
    const size_t len = static_cast<size_t>(ms->capture[l].len);
    Spend(ms, static_cast<ptrdiff_t>(len));
    if (static_cast<size_t>(ms->srcEnd - s) >= len && std::memcmp(ms->capture[l].init, s, len) == 0) return s + len;
    return nullptr;
}

// One level of the nested calls; a pattern item that consumes one character loops here.
const char* DoMatch(SMatchState* ms, const char* s, const char* p) {
    for (;;) {
        Spend(ms, 1);
        switch (*p) {
            case '(':
                if (*(p + 1) == ')') return StartCapture(ms, s, p + 2, kCapturePosition);
                return StartCapture(ms, s, p + 1, kCaptureUnfinished);
            case ')': return EndCapture(ms, s, p + 1);
            case '\0': return s;  // the end of the pattern: a match
            case '$':
                if (*(p + 1) == '\0') return s == ms->srcEnd ? s : nullptr;
                break;  // a plain '$'
            case kEscape:
                if (*(p + 1) == 'b') {
                    s = MatchBalance(ms, s, p + 2);
                    if (s == nullptr) return nullptr;
                    p += 4;
                    continue;
                }
                if (*(p + 1) == 'f') {
                    p += 2;
                    if (*p != '[') luaL_error(ms->L, "missing '[' after '%%f' in pattern");
                    const char* ep = ClassEnd(ms, p);
                    const char previous = (s == ms->srcInit) ? '\0' : *(s - 1);
                    if (MatchBracketClass(Byte(previous), p, ep - 1) || !MatchBracketClass(Byte(*s), p, ep - 1))
                        return nullptr;
                    p = ep;
                    continue;
                }
                if (std::isdigit(Byte(*(p + 1)))) {  // a back reference %1 to %9
                    s = MatchCapture(ms, s, Byte(*(p + 1)));
                    if (s == nullptr) return nullptr;
                    p += 2;
                    continue;
                }
                break;  // a class such as %a
            default: break;
        }
        // A single-character class, with its repetition.
        const char* ep = ClassEnd(ms, p);
        const int m = s < ms->srcEnd && SingleMatch(Byte(*s), p, ep);
        switch (*ep) {
            case '?': {
                const char* res;
                if (m && (res = Match(ms, s + 1, ep + 1)) != nullptr) return res;
                p = ep + 1;
                continue;
            }
            case '*': return MaxExpand(ms, s, p, ep);
            case '+': return m ? MaxExpand(ms, s + 1, p, ep) : nullptr;
            case '-': return MinExpand(ms, s, p, ep);
            default:
                if (!m) return nullptr;
                s++;
                p = ep;
                continue;
        }
    }
}

const char* Match(SMatchState* ms, const char* s, const char* p) {
    if (++ms->depth > kMaxMatchDepth) luaL_error(ms->L, "pattern too complex");
    const char* res = DoMatch(ms, s, p);
    ms->depth--;
    return res;
}

// Lua 5.1's plain search: the first place of s2 in s1.
const char* FindPlain(SMatchState* ms, const char* s1, size_t l1, const char* s2, size_t l2) {
    if (l2 == 0) return s1;
    if (l2 > l1) return nullptr;
    l2--;  // the first character is found by memchr
    l1 = l1 - l2;
    const char* init;
    while (l1 > 0 && (init = static_cast<const char*>(std::memchr(s1, *s2, l1))) != nullptr) {
        init++;
        Spend(ms, static_cast<ptrdiff_t>(l2) + (init - s1));
        if (std::memcmp(init, s2 + 1, l2) == 0) return init - 1;
        l1 -= static_cast<size_t>(init - s1);
        s1 = init;
    }
    return nullptr;
}

void PushOneCapture(SMatchState* ms, int i, const char* s, const char* e) {
    if (i >= ms->level) {
        if (i == 0) {
            lua_pushlstring(ms->L, s, static_cast<size_t>(e - s));  // the whole match
        } else {
            luaL_error(ms->L, "invalid capture index");
        }
        return;
    }
    const ptrdiff_t l = ms->capture[i].len;
    if (l == kCaptureUnfinished) luaL_error(ms->L, "unfinished capture");
    if (l == kCapturePosition) {
        lua_pushinteger(ms->L, ms->capture[i].init - ms->srcInit + 1);
    } else {
        lua_pushlstring(ms->L, ms->capture[i].init, static_cast<size_t>(l));
    }
}

int PushCaptures(SMatchState* ms, const char* s, const char* e) {
    const int levels = (ms->level == 0 && s) ? 1 : ms->level;
    luaL_checkstack(ms->L, levels, "too many captures");
    for (int i = 0; i < levels; i++) PushOneCapture(ms, i, s, e);
    return levels;
}

// A negative position counts back from the end.
ptrdiff_t RelativePosition(ptrdiff_t pos, size_t len) {
    if (pos < 0) pos += static_cast<ptrdiff_t>(len) + 1;
    return pos >= 0 ? pos : 0;
}

int FindAux(lua_State* L, bool find) {
    size_t l1, l2;
    const char* s = luaL_checklstring(L, 1, &l1);
    const char* p = luaL_checklstring(L, 2, &l2);
    ptrdiff_t init = RelativePosition(luaL_optinteger(L, 3, 1), l1) - 1;
    if (init < 0) {
        init = 0;
    } else if (static_cast<size_t>(init) > l1) {
        init = static_cast<ptrdiff_t>(l1);
    }
    SMatchState ms;
    Begin(ms, L, s, l1);
    if (find && (lua_toboolean(L, 4) || std::strpbrk(p, kSpecials) == nullptr)) {
        const char* s2 = FindPlain(&ms, s + init, l1 - static_cast<size_t>(init), p, l2);
        if (s2) {
            lua_pushinteger(L, s2 - s + 1);
            lua_pushinteger(L, static_cast<lua_Integer>(s2 - s + static_cast<ptrdiff_t>(l2)));
            return 2;
        }
    } else {
        const bool anchor = *p == '^';
        if (anchor) p++;
        const char* s1 = s + init;
        do {
            ms.level = 0;
            const char* res = Match(&ms, s1, p);
            if (res != nullptr) {
                if (find) {
                    lua_pushinteger(L, s1 - s + 1);
                    lua_pushinteger(L, res - s);
                    return PushCaptures(&ms, nullptr, nullptr) + 2;
                }
                return PushCaptures(&ms, s1, res);
            }
        } while (s1++ < ms.srcEnd && !anchor);
    }
    lua_pushnil(L);
    return 1;
}

int Find(lua_State* L) { return FindAux(L, true); }

int MatchFunction(lua_State* L) { return FindAux(L, false); }

int GmatchNext(lua_State* L) {
    size_t ls;
    const char* s = lua_tolstring(L, lua_upvalueindex(1), &ls);
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    SMatchState ms;
    Begin(ms, L, s, ls);
    for (const char* src = s + static_cast<size_t>(lua_tointeger(L, lua_upvalueindex(3))); src <= ms.srcEnd; src++) {
        ms.level = 0;
        const char* e = Match(&ms, src, p);
        if (e != nullptr) {
            lua_Integer next = e - s;
            if (e == src) next++;  // an empty match: on by one at least
            lua_pushinteger(L, next);
            lua_replace(L, lua_upvalueindex(3));
            return PushCaptures(&ms, src, e);
        }
    }
    return 0;
}

int Gmatch(lua_State* L) {
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushinteger(L, 0);
    lua_pushcclosure(L, &GmatchNext, 3);
    return 1;
}

// The replacement text: "%0" to "%9" are captures, "%" before anything else quotes it.
void AddString(SMatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    size_t l;
    const char* news = lua_tolstring(ms->L, 3, &l);
    Spend(ms, static_cast<ptrdiff_t>(l));
    for (size_t i = 0; i < l; i++) {
        if (news[i] != kEscape) {
            luaL_addchar(b, news[i]);
            continue;
        }
        i++;  // a final '%' quotes the zero byte after the text, as in Lua
        if (!std::isdigit(Byte(news[i]))) {
            luaL_addchar(b, news[i]);
        } else if (news[i] == '0') {
            luaL_addlstring(b, s, static_cast<size_t>(e - s));
        } else {
            PushOneCapture(ms, news[i] - '1', s, e);
            luaL_addvalue(b);
        }
    }
}

void AddValue(SMatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    lua_State* L = ms->L;
    switch (lua_type(L, 3)) {
        case LUA_TNUMBER:
        case LUA_TSTRING: AddString(ms, b, s, e); return;
        case LUA_TFUNCTION: {
            lua_pushvalue(L, 3);
            const int n = PushCaptures(ms, s, e);
            lua_call(L, n, 1);
            break;
        }
        case LUA_TTABLE:
            PushOneCapture(ms, 0, s, e);
            lua_gettable(L, 3);
            break;
        default: break;
    }
    if (!lua_toboolean(L, -1)) {  // nil or false keep the matched text
        lua_pop(L, 1);
        lua_pushlstring(L, s, static_cast<size_t>(e - s));
    } else if (!lua_isstring(L, -1)) {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
    luaL_addvalue(b);
}

int Gsub(lua_State* L) {
    size_t srcl;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checkstring(L, 2);
    const int tr = lua_type(L, 3);
    const int maxS = luaL_optint(L, 4, static_cast<int>(srcl + 1));
    const bool anchor = *p == '^';
    if (anchor) p++;
    int n = 0;
    luaL_argcheck(L, tr == LUA_TNUMBER || tr == LUA_TSTRING || tr == LUA_TFUNCTION || tr == LUA_TTABLE, 3,
                  "string/function/table expected");
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    SMatchState ms;
    Begin(ms, L, src, srcl);
    while (n < maxS) {
        ms.level = 0;
        const char* e = Match(&ms, src, p);
        if (e) {
            n++;
            AddValue(&ms, &b, src, e);
        }
        if (e && e > src) {
            src = e;  // past a match that is not empty
        } else if (src < ms.srcEnd) {
            luaL_addchar(&b, *src++);
        } else {
            break;
        }
        if (anchor) break;
    }
    luaL_addlstring(&b, src, static_cast<size_t>(ms.srcEnd - src));
    luaL_pushresult(&b);
    lua_pushinteger(L, n);
    return 2;
}

}  // namespace

void OpenPatternFunctions(lua_State* L) {
    lua_getglobal(L, "string");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    // "gfind", where the library still has it, is another name of gmatch.
    lua_getfield(L, -1, "gmatch");
    lua_getfield(L, -2, "gfind");
    const bool gfind = !lua_isnil(L, -1) && lua_rawequal(L, -1, -2);
    lua_pop(L, 2);
    const luaL_Reg functions[] = {
        {"find", &Find}, {"match", &MatchFunction}, {"gmatch", &Gmatch}, {"gsub", &Gsub}, {nullptr, nullptr}};
    for (const luaL_Reg* f = functions; f->name; ++f) {
        lua_pushcfunction(L, f->func);
        lua_setfield(L, -2, f->name);
    }
    if (gfind) {
        lua_pushcfunction(L, &Gmatch);
        lua_setfield(L, -2, "gfind");
    }
    lua_pop(L, 1);
}

}  // namespace kestrin
