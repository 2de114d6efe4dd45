# Under a virtual X server: the "caption" tag of a Shift_JIS game gives the game window a
# UTF-8 title that the X server reports.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
kestrin_xvfb_require(caption_xvfb xwininfo)

set(work ${BINARY_DIR}/tmp/caption_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
# The game writes its global data beside itself: it runs from a copy.
file(COPY ${SOURCE_DIR}/tests/data/harness/caption DESTINATION ${work})

set(script [=[
KESTRIN_LOG_WINDOW=0 "$KESTRIN" "$GAME" > "$WORK/kestrin.log" 2>&1 &
pid=$!
titled() { xwininfo -root -tree 2>/dev/null | grep -q "\"Kestrin キャプション\""; }
if ! wait_for titled; then
  xwininfo -root -tree 2>&1
  fail "no window titled \"Kestrin キャプション\" appeared"
fi
kill -TERM $pid 2>/dev/null
]=])
string(APPEND script "${KESTRIN_XVFB_FINISH}")

kestrin_run_under_xvfb(caption_xvfb "${script}" GAME=${work}/caption WORK=${work})
