# Under a virtual X server: at a click wait with nothing moving the game sleeps on its window
# events instead of running 60 frames a second, and a key press still wakes it at once (the
# click wait ends, the script ends, the game closes with status 0).
# The wake-ups of the main thread are the scheduler's count (/proc/PID/task/PID/schedstat): a
# frame loop at 60 Hz runs at least 60 times a second, a resting one about 10 times.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
kestrin_xvfb_require(rest_xvfb xdotool)

set(work ${BINARY_DIR}/tmp/rest_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${SOURCE_DIR}/sample DESTINATION ${work})
file(WRITE ${work}/sample/main.iet "@\n")

set(script [=[
KESTRIN_LOG_WINDOW=0 "$KESTRIN" "$GAME" > "$WORK/kestrin.log" 2>&1 &
pid=$!
wait_for find_window 640x480
kill -0 $pid 2>/dev/null || fail "the game ended before its window opened"
[ -n "$window" ] || fail "no 640x480 window appeared"
# Rounds of one second until one shows the loop resting (the first frames run on time).
slices() { awk '{print $3}' /proc/$pid/task/$pid/schedstat 2>/dev/null || echo 0; }
resting() {
  before=$(slices)
  sleep 1
  after=$(slices)
  echo "main thread ran $((after - before)) times in a second"
  [ $((after - before)) -lt 40 ]
}
wait_for resting || fail "the main thread never rested at the click wait"
# Without a window manager the keyboard goes to the window under the pointer.
xdotool mousemove --window $window 100 100
held=$(slices)
xdotool keydown --window $window Return
# Released once the game has run frames with the key down, not after a set time.
ran_frames() { [ $(($(slices) - held)) -ge 3 ]; }
wait_for ran_frames
xdotool keyup --window $window Return
wait_for ended || fail "the key press did not end the click wait"
]=])
string(APPEND script "${KESTRIN_XVFB_FINISH}")

kestrin_run_under_xvfb(rest_xvfb "${script}" GAME=${work}/sample WORK=${work})
