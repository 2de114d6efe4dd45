local s = string.rep('ab', 2^20)
o:tag{'var', name = 'a', data = s}
local u = s .. s .. s .. s
