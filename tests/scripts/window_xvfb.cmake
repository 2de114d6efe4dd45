# Under a virtual X server: the sample game's window opens at the client size of its
# system.ini, and a close request (SIGTERM, as from the desktop) ends it with status 0.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
kestrin_xvfb_require(window_xvfb xwininfo)

file(STRINGS ${SOURCE_DIR}/sample/system.ini ini)
set(width "")
set(height "")
foreach(line ${ini})
  if(line MATCHES "^WIDTH=([0-9]+)")
    set(width ${CMAKE_MATCH_1})
  elseif(line MATCHES "^HEIGHT=([0-9]+)")
    set(height ${CMAKE_MATCH_1})
  endif()
endforeach()
if(width STREQUAL "" OR height STREQUAL "")
  message(FATAL_ERROR "window_xvfb: sample/system.ini names no WIDTH and HEIGHT")
endif()

set(work ${BINARY_DIR}/window_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${SOURCE_DIR}/sample DESTINATION ${work})
# The sample ends by itself; here the game must stay open until it is asked to close.
file(WRITE ${work}/sample/main.iet "@\n")

set(script [=[
"$KESTRIN" "$GAME" > "$WORK/kestrin.log" 2>&1 &
pid=$!
window_shown() { xwininfo -root -tree 2>/dev/null | grep -q " ${SIZE}+"; }
if ! wait_for window_shown; then
  xwininfo -root -tree 2>&1
  fail "no ${SIZE} window appeared"
fi
kill -TERM $pid
]=])
string(APPEND script "${KESTRIN_XVFB_FINISH}")

kestrin_run_under_xvfb(window_xvfb "${script}" GAME=${work}/sample WORK=${work} SIZE=${width}x${height})
