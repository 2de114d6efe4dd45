local s = o:var('"a(b)c d=e"') .. string.rep('x', 50)
local a, b, c = string.find(s, '(%b())%s*(%w+)=()', 1)
local m = string.match(s, '^%s*(.-)%s*$') or ''
local g = string.gsub(s, '%f[%w]%w+', {d = 'D'}, 3)
g = string.gsub(s, '(x+)', function(x) return #x end)
for k, v in string.gmatch(s, '(%w)=(%w)') do o:debug(k .. v) end
pcall(string.find, s, '[%a')
pcall(string.gsub, s, '(', '%2')
string.find(s, 'x*x*x*y', -10)
