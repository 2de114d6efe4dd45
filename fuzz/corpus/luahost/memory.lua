local t = {}
for i = 1, 1e6 do t[i] = o:getMousePoint() end
