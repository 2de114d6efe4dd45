# Under a virtual X server, without a window manager and with one (openbox): the log window
# that a logged error opens leaves the keyboard focus with the game window, and clicks on the
# game window go on ending its click waits.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
kestrin_xvfb_require(logfocus_xvfb xdotool)
kestrin_xvfb_require(logfocus_xvfb xprop)
kestrin_xvfb_require(logfocus_xvfb openbox)

set(work ${BINARY_DIR}/tmp/logfocus_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${SOURCE_DIR}/tests/data/harness/logfocus DESTINATION ${work})

set(script [=[
unset KESTRIN_LOG_WINDOW
log=""
find_log() {
  for w in $(xdotool search --onlyvisible --pid $pid 2>/dev/null); do
    if xdotool getwindowgeometry $w 2>/dev/null | grep -q "Geometry: 320x480"; then log=$w; return 0; fi
  done
  return 1
}
managed() { xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' $1)"; }
desktops() { xprop -root _NET_NUMBER_OF_DESKTOPS | grep -q "= $1\$"; }
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
focus_is_game() {
  focus=$(xdotool getwindowfocus)
  [ "$focus" = "$window" ] || fail "$1: the focus is on window $focus, not on the game window $window (log window $log)"
  if [ -n "$wm" ]; then
    active=$(xprop -root _NET_ACTIVE_WINDOW)
    echo "$active" | grep -qi "$(printf '0x%x' $window)\$" || fail "$1: the active window is not the game: $active"
  fi
}
for wm in "" openbox; do
  echo "window manager: ${wm:-none}"
  if [ -n "$wm" ]; then
    openbox --sm-disable > "$WORK/openbox.log" 2>&1 &
    wmpid=$!
    pid=$wmpid
    wait_for wm_ready || fail "openbox did not start: $(cat "$WORK/openbox.log")"
  fi
  "$KESTRIN" "$GAME" > "$WORK/kestrin.log" 2>&1 &
  pid=$!
  wait_for find_window 320x240 || fail "no 320x240 window appeared"
  wait_for logged "未知のタグ" || fail "the error was not logged"
  wait_for find_log || fail "the log window did not open"
  wait_for logged "main.iet(6): @" || fail "the game did not reach its click wait"
  if [ -n "$wm" ]; then
    # Once the window manager has handled a request sent after it took the log window in, it
    # has also made its choice of focus for it.
    wait_for managed $log || fail "openbox did not take in the log window"
    xdotool set_num_desktops 3
    wait_for desktops 3 || fail "openbox did not answer"
  fi
  focus_is_game "once the log window is shown"
  for n in 1 2 3; do
    logged "($n) name=\"clicks\"" && fail "click $n counted before it was sent"
    xdotool mousemove --window $window 20 20 click 1
    wait_for logged "($n) name=\"clicks\"" || fail "click $n on the game window did not end its click wait"
  done
  focus_is_game "after the clicks"
  kill -TERM $pid
  status=0
  wait $pid || status=$?
  [ $status -eq 0 ] || fail "the game ended with status $status"
  if [ -n "$wm" ]; then
    kill -TERM $wmpid
    wait $wmpid
  fi
done
cat "$WORK/kestrin.log"
]=])

kestrin_run_under_xvfb(logfocus_xvfb "${script}" GAME=${work}/logfocus WORK=${work})
