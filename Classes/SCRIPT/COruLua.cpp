#include "SCRIPT/COruLua.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <exception>
#include <lua.hpp>

#include "CORE/CInput.h"
#include "CORE/CTimer.h"
#include "CORE/StringHelpers.h"
#include "SCRIPT/CScriptBlock.h"
#include "SCRIPT/CScriptBlockList.h"
#include "SCRIPT/CScriptState.h"
#include "SCRIPT/ScriptMessages.h"

namespace kestrin {

namespace {

const char kClassName[] = "COruLua";

// The userdata behind a "COruLua" value. Objects made from Lua have no host.
struct SHostBox {
    COruLua* host;
};

// Lua numbers into the engine's ints: NaN reads as 0, values out of range are clamped,
// the rest truncated toward zero.
int32_t ClampToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Argument readers: none of them can raise a Lua error (no conversion, no metamethod).
bool ArgString(lua_State* L, int index, std::string& out) {
    if (lua_type(L, index) != LUA_TSTRING) return false;
    size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    out.assign(text, length);
    return true;
}

bool ArgNumber(lua_State* L, int index, double& out) {
    if (lua_type(L, index) != LUA_TNUMBER) return false;
    out = lua_tonumber(L, index);
    return true;
}

// Visits each raw entry of the table at index; the key is at -2 and the value at -1.
template <class Visit>
void ForEachEntry(lua_State* L, int index, Visit visit) {
    if (index < 0) index = lua_gettop(L) + index + 1;
    lua_pushnil(L);
    while (lua_next(L, index) != 0) {
        visit();
        lua_pop(L, 1);
    }
}

std::string EntryString(lua_State* L, int index) {
    std::string text;
    ArgString(L, index, text);
    return text;
}

// Pushes a prepared value. Nothing in this frame has a destructor, so a memory error
// raised by Lua here unwinds no C++ object.
void PushValue(lua_State* L, const COruLua::SValue& value) {
    switch (value.kind) {
        case COruLua::SValue::kNumber: lua_pushnumber(L, value.number); break;
        case COruLua::SValue::kBoolean: lua_pushboolean(L, value.boolean ? 1 : 0); break;
        case COruLua::SValue::kString: lua_pushlstring(L, value.text.data(), value.text.size()); break;
        case COruLua::SValue::kTable:
            lua_createtable(L, 0, static_cast<int>(value.keys.size()));
            for (size_t i = 0; i < value.keys.size(); ++i) {
                PushValue(L, value.keys[i]);
                PushValue(L, value.values[i]);
                lua_rawset(L, -3);
            }
            break;
        default: lua_pushnil(L); break;
    }
}

int PushResult(lua_State* L, const COruLua::SValue& value) {
    if (value.kind == COruLua::SValue::kNone) return 0;
    PushValue(L, value);
    return 1;
}

// The host of the object the method was called on (argument 1), or null when it is not
// a "COruLua" object or has no host. The class metatable is upvalue 1 of every method.
COruLua* SelfHost(lua_State* L) {
    if (lua_type(L, 1) != LUA_TUSERDATA || !lua_getmetatable(L, 1)) return nullptr;
    bool same = lua_rawequal(L, -1, lua_upvalueindex(1)) != 0;
    lua_pop(L, 1);
    if (!same) return nullptr;
    return static_cast<SHostBox*>(lua_touserdata(L, 1))->host;
}

// A trace line through the interpreter (ILuaScriptHost::TraceLua).
void Trace(ILuaScriptHost& owner, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
void Trace(ILuaScriptHost& owner, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    owner.TraceLua(level, format, args);
    va_end(args);
}

typedef void (*MethodBody)(lua_State* L, COruLua& host, ILuaScriptHost& owner);

// Runs a method's C++ part; every C++ object it makes is gone when it returns.
void RunBody(lua_State* L, COruLua& host, MethodBody body) {
    host.Result() = COruLua::SValue();
    ILuaScriptHost* owner = host.GetOwner();
    if (!owner) {
        host.Result().kind = COruLua::SValue::kNil;
        return;
    }
    try {
        body(L, host, *owner);
    } catch (const std::exception& e) {
        host.SetLastErrorText(std::string("Lua: ") + e.what());
        host.Result() = COruLua::SValue();
        host.Result().kind = COruLua::SValue::kNil;
    }
}

int Dispatch(lua_State* L, MethodBody body) {
    COruLua* host = SelfHost(L);
    if (!host) {
        lua_pushnil(L);
        return 1;
    }
    RunBody(L, *host, body);
    return PushResult(L, host->Result());
}

// --- The methods ---

void Debug(lua_State* L, COruLua& host, ILuaScriptHost& owner) {
    std::string text;
    if (!ArgString(L, 2, text)) return host.ArgumentError("debug");
    Trace(owner, 0, "Lua: %s", text.c_str());
}

void Random(lua_State*, COruLua& host, ILuaScriptHost& owner) {
    host.Result() = COruLua::SValue::Number(owner.DrawLuaRandom());
}

void Tag(lua_State* L, COruLua& host, ILuaScriptHost& owner) {
    CScriptBlock block(CScriptBlock::kTag, 0, std::string());
    if (lua_type(L, 2) == LUA_TSTRING) {
        block.SetName(EntryString(L, 2));
    } else if (lua_type(L, 2) == LUA_TTABLE) {
        ForEachEntry(L, 2, [&] {
            int keyType = lua_type(L, -2), valueType = lua_type(L, -1);
            if (keyType == LUA_TNUMBER && lua_tonumber(L, -2) == 1 && valueType == LUA_TSTRING) {
                block.SetName(EntryString(L, -1));
            } else if (keyType == LUA_TSTRING && valueType == LUA_TNUMBER) {
                block.SetAttribute(EntryString(L, -2), IntToString(ClampToInt(lua_tonumber(L, -1))));
            } else if (keyType == LUA_TSTRING && valueType == LUA_TSTRING) {
                block.SetAttribute(EntryString(L, -2), EntryString(L, -1));
            }
        });
    } else {
        return host.ArgumentError("tag");
    }
    owner.RunLuaTag(std::move(block));
    // The tag may have run Lua again, whose methods left their results here.
    host.Result() = COruLua::SValue();
}

void Var(lua_State* L, COruLua& host, ILuaScriptHost& owner) {
    std::string expression;
    if (!ArgString(L, 2, expression)) {
        host.ArgumentError("var");
        host.Result().kind = COruLua::SValue::kNil;
        return;
    }
    host.Result() = COruLua::SValue::String(owner.EvaluateLuaExpression(expression));
}

void GetScriptStatus(lua_State*, COruLua& host, ILuaScriptHost& owner) {
    host.Result() = COruLua::SValue::Number(owner.GetLuaCaret().GetStatus());
}

void SetScriptStatus(lua_State* L, COruLua& host, ILuaScriptHost& owner) {
    double status = 0;
    if (!ArgNumber(L, 2, status)) return host.ArgumentError("setScriptStatus");
    owner.GetLuaCaret().SetStatus(ClampToInt(status));
}

COruLua::SValue Position(const CCaret& caret) {
    COruLua::SValue entry = COruLua::SValue::Table();
    entry.Set(COruLua::SValue::String("file"), COruLua::SValue::String(caret.file));
    entry.Set(COruLua::SValue::String("index"), COruLua::SValue::Number(caret.index));
    return entry;
}

void GetScriptStack(lua_State*, COruLua& host, ILuaScriptHost& owner) {
    COruLua::SValue stack = COruLua::SValue::Table();
    double key = 0;
    for (const auto& caret : owner.GetLuaCallStack()) stack.Set(COruLua::SValue::Number(key++), Position(caret));
    stack.Set(COruLua::SValue::Number(key), Position(owner.GetLuaCaret()));
    host.Result() = std::move(stack);
}

void SetScriptStack(lua_State* L, COruLua& host, ILuaScriptHost& owner) {
    if (lua_type(L, 2) != LUA_TTABLE) return host.ArgumentError("setScriptStack");
    bool hasFile = false, hasIndex = false, bad = false;
    std::string file;
    double index = 0;
    ForEachEntry(L, 2, [&] {
        if (lua_type(L, -2) != LUA_TSTRING) return;
        std::string key = EntryString(L, -2);
        if (key == "file" && lua_type(L, -1) == LUA_TSTRING) {
            file = EntryString(L, -1);
            hasFile = true;
        } else if (key == "index" && lua_type(L, -1) == LUA_TNUMBER) {
            index = lua_tonumber(L, -1);
            hasIndex = true;
            // A negative (or NaN) block index would point before the script.
            if (std::isnan(index) || index < 0) bad = true;
        }
    });
    if (bad) return host.ArgumentError("setScriptStack");
    if (hasFile) owner.GetLuaCaret().file = file;
    if (hasIndex) owner.GetLuaCaret().index = ClampToInt(index);
}

void GetScriptBlock(lua_State* L, COruLua& host, ILuaScriptHost& owner) {
    host.Result() = COruLua::SValue::Table();
    if (lua_type(L, 2) != LUA_TTABLE) return host.ArgumentError("getScriptBlock");
    std::string file;
    double index = 0;
    ForEachEntry(L, 2, [&] {
        if (lua_type(L, -2) != LUA_TSTRING) return;
        std::string key = EntryString(L, -2);
        if (key == "file" && lua_type(L, -1) == LUA_TSTRING) file = EntryString(L, -1);
        if (key == "index" && lua_type(L, -1) == LUA_TNUMBER) index = lua_tonumber(L, -1);
    });
    CScriptBlockList& blocks = owner.GetLuaScriptBlocks(file);
    if (std::isnan(index) || index < 0 || index >= static_cast<double>(blocks.size()) ||
        !blocks[static_cast<size_t>(index)]) {
        host.SetLastErrorText(owner.EngineText(scriptmsg::kLuaBlockNotFound));
        Trace(owner, 1, "%s", host.GetLastError().c_str());
        return;
    }
    const CScriptBlock& block = *blocks[static_cast<size_t>(index)];
    COruLua::SValue& result = host.Result();
    result.Set(COruLua::SValue::String("type"), COruLua::SValue::Number(block.GetKind()));
    result.Set(COruLua::SValue::String("line"), COruLua::SValue::Number(block.GetLine()));
    result.Set(COruLua::SValue::String("command"), COruLua::SValue::String(block.GetName()));
    COruLua::SValue parameters = COruLua::SValue::Table();
    for (const auto& attribute : block.GetAttributes()) {
        parameters.Set(COruLua::SValue::String(attribute.first), COruLua::SValue::String(attribute.second));
    }
    result.Set(COruLua::SValue::String("parameter"), std::move(parameters));
}

void SetEventHandler(lua_State* L, COruLua& host, ILuaScriptHost& owner) {
    if (lua_type(L, 2) != LUA_TTABLE) return host.ArgumentError("setEventHandler");
    ForEachEntry(L, 2, [&] {
        if (lua_type(L, -2) != LUA_TSTRING || lua_type(L, -1) != LUA_TSTRING) return;
        std::string key = EntryString(L, -2);
        if (key == "onEnterFrame") {
            owner.SetLuaHandlerName(ILuaScriptHost::kLuaEnterFrame, EntryString(L, -1));
        } else if (key == "onClickWait" || key == "onClickWaitIn") {
            owner.SetLuaHandlerName(ILuaScriptHost::kLuaClickWaitIn, EntryString(L, -1));
        } else if (key == "onClickWaitOut") {
            owner.SetLuaHandlerName(ILuaScriptHost::kLuaClickWaitOut, EntryString(L, -1));
        }
    });
}

void Key(lua_State* L, COruLua& host, const char* name, bool (CInput::*query)(int)) {
    double key = 0;
    if (!ArgNumber(L, 2, key)) {
        host.ArgumentError(name);
        host.Result().kind = COruLua::SValue::kNil;
        return;
    }
    // Key numbers outside 0-255 name no key: never pressed.
    CInput* input = CInput::GetInstance();
    bool pressed = input && !std::isnan(key) && key >= 0 && key < 256 && (input->*query)(static_cast<int>(key));
    host.Result().kind = COruLua::SValue::kBoolean;
    host.Result().boolean = pressed;
}

void IsPush(lua_State* L, COruLua& host, ILuaScriptHost&) { Key(L, host, "isPush", &CInput::IsPush); }
void IsDown(lua_State* L, COruLua& host, ILuaScriptHost&) { Key(L, host, "isDown", &CInput::IsDown); }
void IsDownEdge(lua_State* L, COruLua& host, ILuaScriptHost&) { Key(L, host, "isDownEdge", &CInput::IsDownEdge); }
void IsUpEdge(lua_State* L, COruLua& host, ILuaScriptHost&) { Key(L, host, "isUpEdge", &CInput::IsUpEdge); }
void IsDecide(lua_State* L, COruLua& host, ILuaScriptHost&) { Key(L, host, "isDecide", &CInput::IsDownEdge); }

void GetMousePoint(lua_State*, COruLua& host, ILuaScriptHost&) {
    CPoint point;
    if (CInput* input = CInput::GetInstance()) point = input->GetMousePoint();
    COruLua::SValue result = COruLua::SValue::Table();
    result.Set(COruLua::SValue::String("x"), COruLua::SValue::Number(point.GetX()));
    result.Set(COruLua::SValue::String("y"), COruLua::SValue::Number(point.GetY()));
    host.Result() = std::move(result);
}

// "now" needs no interpreter.
int MethodNow(lua_State* L) {
    CTimer* timer = CTimer::GetInstance();
    lua_pushnumber(L, timer ? timer->GetTime() : 0);
    return 1;
}

#define KESTRIN_LUA_METHOD(name) \
    int Method##name(lua_State* L) { return Dispatch(L, &name); }
KESTRIN_LUA_METHOD(Debug)
KESTRIN_LUA_METHOD(Random)
KESTRIN_LUA_METHOD(Tag)
KESTRIN_LUA_METHOD(Var)
KESTRIN_LUA_METHOD(GetScriptStatus)
KESTRIN_LUA_METHOD(SetScriptStatus)
KESTRIN_LUA_METHOD(GetScriptStack)
KESTRIN_LUA_METHOD(SetScriptStack)
KESTRIN_LUA_METHOD(GetScriptBlock)
KESTRIN_LUA_METHOD(SetEventHandler)
KESTRIN_LUA_METHOD(IsPush)
KESTRIN_LUA_METHOD(IsDown)
KESTRIN_LUA_METHOD(IsDownEdge)
KESTRIN_LUA_METHOD(IsUpEdge)
KESTRIN_LUA_METHOD(IsDecide)
KESTRIN_LUA_METHOD(GetMousePoint)
#undef KESTRIN_LUA_METHOD

// clang-format off
const lua_CFunction kMethods[17] = {
    MethodDebug,         MethodNow,          MethodRandom,     MethodTag,        MethodVar,
    MethodGetScriptStatus, MethodSetScriptStatus, MethodGetScriptStack, MethodSetScriptStack,
    MethodGetScriptBlock, MethodSetEventHandler, MethodIsPush,     MethodIsDown,     MethodIsDownEdge,
    MethodIsUpEdge,      MethodIsDecide,     MethodGetMousePoint,
};
// clang-format on

// COruLua() from Lua: an object without interpreter. The metatable is upvalue 1.
int Construct(lua_State* L) {
    SHostBox* box = static_cast<SHostBox*>(lua_newuserdata(L, sizeof(SHostBox)));
    box->host = nullptr;
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_setmetatable(L, -2);
    return 1;
}

struct SRegisterContext {
    COruLua* host;
    int reference;
};

// Runs protected (lua_cpcall): a memory error leaves through here, past no C++ object.
int RegisterClass(lua_State* L) {
    SRegisterContext* context = static_cast<SRegisterContext*>(lua_touserdata(L, 1));
    luaL_newmetatable(L, kClassName);
    int metatable = lua_gettop(L);
    lua_createtable(L, 0, 17);
    for (int i = 0; i < 17; ++i) {
        lua_pushvalue(L, metatable);
        lua_pushcclosure(L, kMethods[i], 1);
        lua_setfield(L, -2, COruLua::kMethodNames[i]);
    }
    lua_setfield(L, metatable, "__index");
    lua_pushstring(L, kClassName);
    lua_setfield(L, metatable, "__metatable");

    lua_createtable(L, 0, 0);
    lua_createtable(L, 0, 1);
    lua_pushvalue(L, metatable);
    lua_pushcclosure(L, Construct, 1);
    lua_setfield(L, -2, "__call");
    lua_setmetatable(L, -2);
    lua_setfield(L, LUA_GLOBALSINDEX, kClassName);

    SHostBox* box = static_cast<SHostBox*>(lua_newuserdata(L, sizeof(SHostBox)));
    box->host = context->host;
    lua_pushvalue(L, metatable);
    lua_setmetatable(L, -2);
    context->reference = luaL_ref(L, LUA_REGISTRYINDEX);
    return 0;
}

struct SCallContext {
    const char* name;
    const std::map<std::string, std::string>* table;
    int reference;
};

// Runs protected (lua_cpcall); nothing in this frame has a destructor.
int CallGlobal(lua_State* L) {
    SCallContext* context = static_cast<SCallContext*>(lua_touserdata(L, 1));
    lua_getfield(L, LUA_GLOBALSINDEX, context->name);
    lua_rawgeti(L, LUA_REGISTRYINDEX, context->reference);
    int arguments = 1;
    if (!context->table->empty()) {
        lua_createtable(L, 0, static_cast<int>(context->table->size()));
        for (auto it = context->table->begin(); it != context->table->end(); ++it) {
            lua_pushlstring(L, it->first.data(), it->first.size());
            lua_pushlstring(L, it->second.data(), it->second.size());
            lua_rawset(L, -3);
        }
        arguments = 2;
    }
    lua_call(L, arguments, 0);
    return 0;
}

}  // namespace

// clang-format off
const char* const COruLua::kMethodNames[17] = {
    "debug",          "now",          "random",          "tag",      "var",    "getScriptStatus",
    "setScriptStatus", "getScriptStack", "setScriptStack", "getScriptBlock", "setEventHandler",
    "isPush",         "isDown",       "isDownEdge",      "isUpEdge", "isDecide", "getMousePoint",
};
// clang-format on

COruLua::SValue COruLua::SValue::Number(double v) {
    SValue value;
    value.kind = kNumber;
    value.number = v;
    return value;
}

COruLua::SValue COruLua::SValue::String(const std::string& v) {
    SValue value;
    value.kind = kString;
    value.text = v;
    return value;
}

COruLua::SValue COruLua::SValue::Table() {
    SValue value;
    value.kind = kTable;
    return value;
}

void COruLua::SValue::Set(SValue key, SValue value) {
    keys.push_back(std::move(key));
    values.push_back(std::move(value));
}

COruLua::COruLua(ILuaScriptHost* owner) : m_owner(owner), m_hostReference(LUA_NOREF) { Register(); }

// The state closes here, while the host is whole: finalizers that call it find no interpreter
// (their calls give nil).
COruLua::~COruLua() {
    m_owner = nullptr;
    if (m_state) lua_close(m_state);
    m_state = nullptr;
}

bool COruLua::Register() {
    if (!m_state) return true;
    SRegisterContext context = {this, LUA_NOREF};
    if (lua_cpcall(m_state, RegisterClass, &context) != 0) {
        TakeError();
        return true;
    }
    m_hostReference = context.reference;
    return false;
}

// Error texts are kept in the game's encoding, as every text that Lua hands over.
std::string COruLua::EngineText(const char* utf8) const { return m_owner ? m_owner->EngineText(utf8) : utf8; }

std::string COruLua::RunLimitText() const {
    return std::to_string(GetRunLimit()) + EngineText(scriptmsg::kLuaRunLimit);
}

std::string COruLua::CloseText() const { return EngineText(scriptmsg::kLuaClosed); }

void COruLua::ArgumentError(const char* method) {
    std::string text = std::string("Lua: ") + method + EngineText(scriptmsg::kLuaArgumentError);
    SetLastErrorText(text);
    if (m_owner) Trace(*m_owner, 1, "%s", text.c_str());
}

void COruLua::SetLastErrorText(const std::string& text) { m_lastError = text; }

bool COruLua::CallFunctionWithTable(const std::string& name, const std::map<std::string, std::string>& table) {
    if (!m_state || m_hostReference == LUA_NOREF) {
        m_lastError = "not enough memory";
        return true;
    }
    int top = lua_gettop(m_state);
    SCallContext context = {name.c_str(), &table, m_hostReference};
    BeginRun();
    int status = lua_cpcall(m_state, CallGlobal, &context);
    EndRun();
    if (status != 0) {
        TakeError();
        lua_settop(m_state, top);
        return true;
    }
    lua_settop(m_state, top);
    return false;
}

bool COruLua::CallFunction(const std::string& name) { return CallFunctionWithTable(name, {}); }

}  // namespace kestrin
