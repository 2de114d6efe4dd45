#pragma once
// The interpreter's Lua host: registers the class "COruLua" with its seventeen methods
// into the Lua state and calls global Lua functions with the host object.
//
// The methods are bound by hand on the Lua C API. None of them raises a Lua error: a
// wrong argument becomes the host's last error (and a trace line), and the method returns
// nil, an empty table or nothing. Lua errors are only raised (and caught) inside
// protected calls whose frames hold no C++ objects, so no longjmp crosses C++ code.
#include <map>
#include <string>
#include <vector>

#include "SCRIPT/CLua.h"
#include "SCRIPT/ILuaScriptHost.h"

namespace kestrin {

class COruLua : public CLua {
public:
    // A value handed back to Lua: built by a method, then pushed.
    struct SValue {
        enum Kind { kNone, kNil, kNumber, kBoolean, kString, kTable };
        Kind kind = kNone;
        double number = 0;
        bool boolean = false;
        std::string text;
        std::vector<SValue> keys;
        std::vector<SValue> values;

        static SValue Number(double v);
        static SValue String(const std::string& v);
        static SValue Table();
        void Set(SValue key, SValue value);
    };

    // The methods in registration order.
    static const char* const kMethodNames[17];

    // owner may be null: the interpreter-bound methods then do nothing and return nil.
    explicit COruLua(ILuaScriptHost* owner);
    ~COruLua() override;

    // Calls the global Lua function of that name with the host object, and when the map
    // is not empty a table of its entries (string keys, string values). True on failure
    // (missing function or a Lua error), with the error text as the last error.
    bool CallFunctionWithTable(const std::string& name, const std::map<std::string, std::string>& table);
    bool CallFunction(const std::string& name);

    ILuaScriptHost* GetOwner() const { return m_owner; }

    // Used by the bound methods: reports a wrong argument of the named method.
    void ArgumentError(const char* method);
    void SetLastErrorText(const std::string& text);
    SValue& Result() { return m_result; }

protected:
    std::string RunLimitText() const override;
    std::string CloseText() const override;

private:
    bool Register();
    // An engine text (UTF-8 in the code) in the owner's text encoding.
    std::string EngineText(const char* utf8) const;

    ILuaScriptHost* m_owner;
    int m_hostReference;
    SValue m_result;
};

}  // namespace kestrin
