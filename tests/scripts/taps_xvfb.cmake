# Under a virtual X server, as a player clicks: quick clicks ("xdotool click", pressed and
# released at once) and quick Enter presses ("xdotool key --delay 0") each end one click wait,
# also clicks quicker than the frames, and quick clicks on a layer reach its click reaction,
# none lost and none counted twice. The game traces every count; each event is sent once the
# one before was counted, except for a burst of clicks.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
kestrin_xvfb_require(taps_xvfb xdotool)

set(work ${BINARY_DIR}/tmp/taps_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${SOURCE_DIR}/tests/data/harness/taps DESTINATION ${work})

set(script [=[
KESTRIN_LOG_WINDOW=0 "$KESTRIN" "$GAME" > "$WORK/kestrin.log" 2>&1 &
pid=$!
wait_for find_window 320x240 || fail "no 320x240 window appeared"
# Without a window manager the keyboard goes to the window under the pointer.
xdotool mousemove --window $window 20 20
wait_for logged "main.iet(6): @" || fail "the game did not reach its click wait"
# Sends one event (the arguments) and waits until the game counted it as number $2 of $1.
counts() {
  name=$1 n=$2
  shift 2
  logged "($n) name=\"$name\"" && fail "$name counted $n before event $n was sent"
  xdotool "$@"
  wait_for logged "($n) name=\"$name\"" || fail "event $n ($*) was not counted as one of $name"
}
for n in 1 2 3 4 5; do counts waits $n click 1; done
for n in 6 7 8 9 10; do counts waits $n key --delay 0 Return; done
# Five clicks 10 ms apart, quicker than the frames: each ends a click wait of its own (the
# game shows its buttons after the fifteenth).
logged "(11) name=\"waits\"" && fail "waits counted 11 before the quick clicks"
xdotool click --repeat 5 --delay 10 1
wait_for logged "(15) name=\"waits\"" || fail "five clicks 10 ms apart did not end five click waits"
wait_for logged "debugprint button" || fail "the button was not shown"
xdotool mousemove --window $window 240 160
for n in 1 2 3 4 5; do counts hits $n click 1; done
# A click on the other button, counted apart, comes after all of the five: once it is counted
# the game has read them all, and a fifth click counted twice would show by then.
xdotool mousemove --window $window 80 160
counts marks 1 click 1
logged "(6) name=\"hits\"" && fail "hits counted 6 after 5 clicks"
kill -TERM $pid
]=])
string(APPEND script "${KESTRIN_XVFB_FINISH}")

kestrin_run_under_xvfb(taps_xvfb "${script}" GAME=${work}/taps WORK=${work})
