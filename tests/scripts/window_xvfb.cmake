# Under a virtual X server: the sample game's window opens at the client size of its
# system.ini, and a close request (SIGTERM, as from the desktop) ends it with status 0.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
find_program(XWININFO xwininfo)
if(NOT XWININFO)
  message(FATAL_ERROR "window_xvfb: xwininfo is needed (tools/setup.sh installs it)")
endif()

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
unset SDL_VIDEODRIVER
"$KESTRIN" "$GAME" > "$WORK/kestrin.log" 2>&1 &
pid=$!
found=""
i=0
while [ $i -lt 100 ]; do
  if xwininfo -root -tree 2>/dev/null | grep -q " ${SIZE}+"; then found=1; break; fi
  if ! kill -0 $pid 2>/dev/null; then break; fi
  sleep 0.1
  i=$((i+1))
done
xwininfo -root -tree > "$WORK/windows.txt" 2>&1
if [ -z "$found" ]; then
  echo "no ${SIZE} window appeared"; kill -9 $pid 2>/dev/null; cat "$WORK/kestrin.log"; cat "$WORK/windows.txt"; exit 2
fi
sleep 0.3
kill -TERM $pid
]=])
string(APPEND script "${KESTRIN_XVFB_FINISH}")

kestrin_run_under_xvfb(window_xvfb "${script}" 60 GAME=${work}/sample WORK=${work} SIZE=${width}x${height})
