# Under a virtual X server: the "caption" tag of a Shift_JIS game gives the game window a
# UTF-8 title that the X server reports.
find_program(XVFB_RUN xvfb-run)
find_program(XWININFO xwininfo)
if(NOT XVFB_RUN OR NOT XWININFO)
  message(FATAL_ERROR "caption_xvfb: xvfb-run and xwininfo are needed (tools/setup.sh installs them)")
endif()

set(work ${BINARY_DIR}/tmp/caption_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
# The game writes its global data beside itself: it runs from a copy.
file(COPY ${SOURCE_DIR}/tests/data/harness/caption DESTINATION ${work})

set(script [=[
unset SDL_VIDEODRIVER
KESTRIN_LOG_WINDOW=0 "$KESTRIN" "$GAME" > "$WORK/kestrin.log" 2>&1 &
pid=$!
found=""
i=0
while [ $i -lt 600 ]; do
  if xwininfo -root -tree 2>/dev/null | grep -q "\"Kestrin キャプション\""; then found=1; break; fi
  if ! kill -0 $pid 2>/dev/null; then break; fi
  sleep 0.1
  i=$((i+1))
done
xwininfo -root -tree > "$WORK/windows.txt" 2>&1
kill -TERM $pid 2>/dev/null
status=0
wait $pid || status=$?
if [ -z "$found" ]; then
  echo "no window titled \"Kestrin キャプション\" appeared"; cat "$WORK/kestrin.log"; cat "$WORK/windows.txt"; exit 2
fi
echo "exit status $status"
cat "$WORK/kestrin.log"
exit $status
]=])

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "LSAN_OPTIONS=detect_leaks=0"
          KESTRIN=${KESTRIN} GAME=${work}/caption WORK=${work}
          ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" sh -c "${script}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  TIMEOUT 60)
message("${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "caption_xvfb: failed (${result})")
endif()
