-- Calls of the string library's pattern functions, each run by the engine's Lua state and by
-- the stand-alone lua5.1 interpreter: results and error texts must agree. Each case is an
-- expression; "all" is every byte 0 to 255, "each(iterator)" lists what an iterator gives.
all = ""
for i = 0, 255 do all = all .. string.char(i) end

function each(f, s, v)
  local out = {}
  for i = 1, 50 do
    local r = {f(s, v)}
    if r[1] == nil then break end
    v = r[1]
    out[#out + 1] = table.concat(r, "|")
  end
  return table.concat(out, ";")
end

CASES = {
  -- anchors
  [=[string.find("hello", "^h")]=], [=[string.find("hello", "^e")]=], [=[string.find("hello", "o$")]=],
  [=[string.find("hel$lo", "l$l")]=], [=[string.match("a$", "%$")]=], [=[string.find("aaa", "^a", 2)]=],
  [=[string.gsub("aaa", "^a", "b")]=], [=[string.gsub("hello world", "$", "!")]=], [=[string.find("", "^$")]=],
  [=[string.match("abc", "^(a)(b)")]=], [=[string.find("a^b", "^")]=], [=[string.find("a^b", "a^")]=],
  [=[string.find("ab", "b$", 1)]=], [=[string.match("x$y", "$y")]=], [=[string.gsub("abc", "^", "-")]=],
  [=[each(string.gmatch("^a^a", "^a"))]=], [=[string.match("\nx", "^x")]=],
  -- balance and frontier
  [=[string.match("x(a(b)c)y", "%b()")]=], [=[string.find("((a)", "%b()")]=],
  [=[string.gsub("f(a) g(b(c))", "%b()", "[]")]=], [=[string.match("if x then y end end", "%bxy")]=],
  [=[string.find("(((", "%b()")]=], [=[string.match("a[b[c]]d", "%b[]")]=], [=[string.match("aXbXc", "%bXX")]=],
  [=[string.gsub("THE (quick) fox", "%f[%a]%a+", "W")]=], [=[string.find("hello world", "%f[%w]%w+", 2)]=],
  [=[each(string.gmatch("THE (quick) fox", "%f[%a]%a+"))]=], [=[string.find("abc", "%f[%z]")]=],
  [=[string.gsub("the cat", "%f[%w]", "|")]=], [=[string.gsub("the cat", "%f[%W]", "|")]=],
  [=[string.find("a1", "%f[%d]")]=], [=[string.match("THE (quick) fox", "%f[%l]%a+")]=],
  -- captures and position captures
  [=[string.match("hello world", "(h)(e)(l)(l)(o)")]=], [=[string.match("hello", "()ll()")]=],
  [=[string.find("hello", "(l)(l)")]=], [=[string.match("hello", "(h)(.-)o")]=], [=[string.match("abab", "(ab)%1")]=],
  [=[string.match("aXa", "(%a)X%1")]=], [=[string.gsub("hello world", "(o)", "[%1]")]=],
  [=[string.gsub("abc", "()", "%1")]=], [=[string.match("abc", "((a)(b))")]=], [=[string.find("abc", "()")]=],
  [=[string.match("abc", "()(b)()")]=], [=[string.match("  x  ", "^%s*(.-)%s*$")]=], [=[string.match("", "()")]=],
  [=[string.match("key = value", "(%w+)%s*=%s*(%w+)")]=], [=[string.match("aaa", "(a*(.))%2")]=],
  [=[string.match(string.rep("a", 32), string.rep("(a)", 32))]=],
  [=[string.find("hello", "l+")]=], [=[string.find("hello", "(l+)")]=], [=[string.match("hello", "")]=],
  -- classes and sets, over every byte
  [=[string.gsub(all, "%a", "")]=], [=[string.gsub(all, "%A", "")]=], [=[string.gsub(all, "%c", "")]=],
  [=[string.gsub(all, "%C", "")]=], [=[string.gsub(all, "%d", "")]=], [=[string.gsub(all, "%D", "")]=],
  [=[string.gsub(all, "%l", "")]=], [=[string.gsub(all, "%L", "")]=], [=[string.gsub(all, "%p", "")]=],
  [=[string.gsub(all, "%P", "")]=], [=[string.gsub(all, "%s", "")]=], [=[string.gsub(all, "%S", "")]=],
  [=[string.gsub(all, "%u", "")]=], [=[string.gsub(all, "%U", "")]=], [=[string.gsub(all, "%w", "")]=],
  [=[string.gsub(all, "%W", "")]=], [=[string.gsub(all, "%x", "")]=], [=[string.gsub(all, "%X", "")]=],
  [=[string.gsub(all, "%z", "")]=], [=[string.gsub(all, "%Z", "")]=], [=[string.gsub(all, ".", "")]=],
  [=[string.gsub(all, "[a-f]", "")]=], [=[string.gsub(all, "[^a-f]", "")]=], [=[string.gsub(all, "[%a_]", "")]=],
  [=[string.gsub(all, "[]]", "")]=], [=[string.gsub(all, "[^]]", "")]=], [=[string.gsub(all, "[a-]", "")]=],
  [=[string.gsub(all, "[-a]", "")]=], [=[string.gsub(all, "[%]]", "")]=], [=[string.gsub(all, "[a%-z]", "")]=],
  [=[string.gsub(all, "[%w%.]", "")]=], [=[string.gsub(all, "[" .. string.char(1, 45, 31) .. "]", "")]=], [=[string.gsub(all, "[\200-\255]", "")]=],
  [=[string.gsub(all, "[z-a]", "")]=], [=[string.gsub(all, "[%z]", "")]=], [=[string.gsub(all, "[^%z%d]", "")]=],
  [=[string.gsub(all, "%g", "")]=], [=[string.gsub(all, "%Q", "")]=], [=[string.gsub(all, "[%q]", "")]=],
  [=[string.gsub(all, "[a-c-e]", "")]=], [=[string.gsub(all, "[%a-z]", "")]=], [=[string.gsub(all, "[^]", "")]=],
  -- repetition
  [=[string.match("aaab", "a-b")]=], [=[string.match("aaab", "a*")]=], [=[string.find("aaa", "a-")]=],
  [=[string.gsub("hello world", "o*", "-")]=], [=[string.gsub("abc", "", "-")]=], [=[string.gsub("abc", ".-", "x")]=],
  [=[string.match("ab", "a?b")]=], [=[string.match("b", "a?b")]=], [=[string.match("aab", "a?b")]=],
  [=[string.match("xaaay", "a+")]=], [=[string.match("xy", "a+")]=], [=[string.match("<a><b>", "<(.-)>")]=],
  [=[string.match("<a><b>", "<(.*)>")]=], [=[string.match("2024-01-02", "(%d+)-(%d+)-(%d+)")]=],
  [=[string.match(string.rep("a", 300) .. "b", "(a-)(a-)b")]=], [=[string.find(string.rep("ab", 100), "(ab)*b$")]=],
  [=[string.match("a-b", "a%-b")]=], [=[string.match("a*", "a%*")]=], [=[string.match("a?", "a?%?")]=],
  -- init positions
  [=[string.find("hello", "l", -2)]=], [=[string.find("hello", "l", -100)]=], [=[string.find("hello", "l", 100)]=],
  [=[string.find("hello", "", 6)]=], [=[string.find("hello", "", 7)]=], [=[string.find("hello", "", 0)]=],
  [=[string.match("hello", ".", -1)]=], [=[string.find("hello", "h", 1.9)]=], [=[string.find("hello", "l", "3")]=],
  [=[string.match("hello", "()", 10)]=], [=[string.find("hello", "lo", -2, true)]=], [=[string.find("", "", 1)]=],
  [=[string.find("", "", 2)]=], [=[string.match("abc", "^b", 2)]=], [=[string.find("hello", "l", -3.5)]=],
  -- plain searches
  [=[string.find("a.b", ".", 1, true)]=], [=[string.find("a+b", "+", 1, true)]=], [=[string.find("abc", "b", 1, nil)]=],
  [=[string.find("abc", "", 1, true)]=], [=[string.find("aaa", "aa", 2, true)]=], [=[string.find("a\0b", "\0b")]=],
  [=[string.find("a\0b", "%z")]=], [=[string.match("a\0b", "a%zb")]=], [=[string.find("abc", "b\0c")]=],
  [=[string.find("a.c", ".\0x")]=], [=[string.find("abcabc", "cab")]=], [=[string.find("abc", "abcd")]=],
  [=[string.find("x(y", "(", 1, true)]=], [=[string.find("aab", "ab", 1, 0)]=], [=[string.find("aab", "[", 1, false)]=],
  -- numbers as subject, pattern and replacement
  [=[string.find(12345, "3")]=], [=[string.match(1.5, "%.")]=], [=[string.gsub(123, "2", "x")]=],
  [=[string.find("a12", 12)]=], [=[string.gsub("abc", "b", 5)]=], [=[string.gsub("abc", "b", 0.5)]=],
  -- replacements
  [=[string.gsub("hello world", "(%w+)", "<%1>")]=], [=[string.gsub("hello world", "%w+", "%0 %0", 1)]=],
  [=[string.gsub("hello", "", "%%")]=], [=[string.gsub("abc", "b", "%")]=], [=[string.gsub("abc", "b", "%a")]=],
  [=[string.gsub("abc", "(b)", "%1%1%0")]=], [=[string.gsub("abc", "b", "%9")]=], [=[string.gsub("abc", "(b)", "%2")]=],
  [=[string.gsub("abc", "b", "%1")]=], [=[string.gsub("abc", "()b", "%1")]=],
  [=[string.gsub("$name is $age", "%$(%w+)", {name = "Ann", age = 7})]=],
  [=[string.gsub("$name $x", "%$(%w+)", {name = false})]=], [=[string.gsub("a b", "%w", {a = true})]=],
  [=[string.gsub("a b", "%w", {a = {}})]=], [=[string.gsub("ab", "(a)(b)", {a = "first"})]=],
  [=[string.gsub("hello world", "%w+", string.upper)]=], [=[string.gsub("abc", "%w", function(c) return nil end)]=],
  [=[string.gsub("abc", "%w", function(c) return false end)]=], [=[string.gsub("abc", "%w", function(c) return 1 end)]=],
  [=[string.gsub("abc", "%w", function(c) return {} end)]=], [=[string.gsub("abc", "()(%w)", function(p, c) return p .. c end)]=],
  [=[string.gsub("abc", "%w", function(c) error("inside") end)]=], [=[string.gsub("abc", "%w", string.upper, 0)]=],
  [=[string.gsub("aaa", "a", "b", 2)]=], [=[string.gsub("aaa", "a", "b", -1)]=], [=[string.gsub("aaa", "a", "b", 2.7)]=],
  [=[string.gsub("aaa", "a", "b", "2")]=], [=[string.gsub("", "", "x")]=], [=[string.gsub("abc", "x*", "-")]=],
  [=[string.gsub("abc", "b*", "-")]=], [=[string.gsub("hello world", "o", "0", 0)]=],
  [=[string.gsub("a,b,,c", ",", ";")]=], [=[string.gsub("abc", ".", {a = 1, b = 2.5})]=],
  -- iterators
  [=[each(string.gmatch("hello world from Lua", "%a+"))]=], [=[each(string.gmatch("k=v, x=y", "(%w+)=(%w+)"))]=],
  [=[each(string.gmatch("abc", ""))]=], [=[each(string.gmatch("abc", "()"))]=], [=[each(string.gmatch("aXbX", "(.)X"))]=],
  [=[each(string.gmatch("a1b22c333", "%d*"))]=], [=[each(string.gfind("one two", "%a+"))]=],
  [=[each(string.gmatch("abc", "(a"))]=], [=[each(string.gmatch("", ".*"))]=], [=[each(string.gmatch(123, "%d"))]=],
  -- method calls on strings
  [=[("hello"):find("l")]=], [=[("hello"):match("(h)(e)")]=], [=[("x y"):gsub("%s", "_")]=],
  -- malformed patterns and bad arguments
  [=[string.find("a", "%")]=], [=[string.find("a", "[a")]=], [=[string.find("a", "[")]=], [=[string.find("a", "[^")]=],
  [=[string.find("a", "[%")]=], [=[string.find("a", "[a%")]=], [=[string.match("a", "(a")]=], [=[string.match("a", "a)")]=],
  [=[string.match("a", "%1")]=], [=[string.match("aa", "(a)%2")]=], [=[string.match("a", "(()")]=],
  [=[string.find("a", "%b")]=], [=[string.find("a", "%ba")]=], [=[string.find("a", "%f")]=], [=[string.find("a", "%fa")]=],
  [=[string.find("a", "%f[a")]=], [=[string.gsub("a", "(", "x")]=], [=[string.gsub("a", "%", "x")]=],
  [=[string.match(string.rep("a", 40), string.rep("(a)", 33))]=], [=[string.find(nil, "a")]=], [=[string.find("a")]=],
  [=[string.find("a", "b", "x")]=], [=[string.find({}, "a")]=], [=[string.match("a", nil)]=], [=[string.gsub("a", "a")]=],
  [=[string.gsub("a", "a", true)]=], [=[string.gsub("a", "a", "b", "x")]=], [=[string.gmatch("a")]=],
  [=[string.gmatch(nil, "a")]=], [=[string.gsub("abc", "b", function() end)]=], [=[string.find("abc", "[b-]")]=],
  [=[string.match("a", "%")]=], [=[each(string.gmatch("a", "%"))]=], [=[string.find("a", "a", 1, true, 5)]=],
}
