#pragma once
// The pattern functions of Lua 5.1's string library (find, match, gmatch, gsub and the old
// name gfind), written again for the engine with the same results and error texts.
//
// Lua's own matcher runs inside one C call, where the count hook never fires and nothing is
// allocated: a pattern that backtracks on a long subject ran for minutes past the run limit
// and a close request. These count their steps and ask the state's CLua every few thousand
// whether the call must stop (CLua::StopPending), which ends it with the stopped call's error.
//
// A match nests one C call per pattern item; past kMaxMatchDepth items the call fails with
// "pattern too complex" instead of overflowing the stack.
struct lua_State;

namespace kestrin {

constexpr int kMaxMatchDepth = 4000;

// Replaces the pattern functions of the state's "string" table (opened before) with these.
void OpenPatternFunctions(lua_State* L);

}  // namespace kestrin
