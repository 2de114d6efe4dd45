# Shared by the tests that run the game under a virtual X server (tests/scripts/*_xvfb.cmake).
# Leak checks are off there: the X libraries SDL loads and unloads keep allocations that
# cannot be told apart; the unit tests and the headless runs keep them on.
find_program(XVFB Xvfb)

# Seconds a test's shell script waits for any one condition (a window, a log line, the game
# ending) before it gives up: several minutes, so that only a hang fails, never a loaded machine.
if(NOT DEFINED KESTRIN_XVFB_BOUND)
  set(KESTRIN_XVFB_BOUND 300)
endif()

# Ends the test unless the X tool program (xdotool, xwininfo) is installed.
function(kestrin_xvfb_require name program)
  find_program(${program}_path ${program})
  if(NOT ${program}_path)
    message(FATAL_ERROR "${name}: ${program} is needed (tools/setup.sh installs it)")
  endif()
endfunction()

# The lines that start a test's shell script: the real video driver, and
#   wait_for COMMAND...   polls COMMAND until it succeeds; fails after the bound. Once the game
#                         ($pid, when set) has ended, COMMAND gets one last look.
#   logged TEXT           the game's log holds TEXT.
#   ended                 the game ($pid) has ended.
#   fail MESSAGE          says MESSAGE, kills the game and shows its log; the script fails (2).
#   find_window WxH       a window of the game of that size is open (xdotool); its id goes to
#                         $window.
set(KESTRIN_XVFB_START [=[
unset SDL_VIDEODRIVER
# Nothing may depend on the caller's locale: the game and the shell run in the C locale, as on
# a fresh machine, and the X tools in C.UTF-8, without which they print "(failure in
# conversion from UTF8_STRING ...)" in place of a UTF-8 window name.
export LC_ALL=C
unset LANGUAGE
xwininfo() { LC_ALL=C.UTF-8 command xwininfo "$@"; }
xprop() { LC_ALL=C.UTF-8 command xprop "$@"; }
xdotool() { LC_ALL=C.UTF-8 command xdotool "$@"; }
pid=""
wait_for() {
  deadline=$(( $(date +%s) + BOUND ))
  until "$@"; do
    if [ -n "$pid" ] && ! kill -0 $pid 2>/dev/null; then "$@"; return; fi
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
logged() { grep -qF -- "$1" "$WORK/kestrin.log"; }
ended() { ! kill -0 $pid 2>/dev/null; }
fail() { echo "$1"; kill -9 $pid 2>/dev/null; cat "$WORK/kestrin.log"; exit 2; }
window=""
find_window() {
  for w in $(xdotool search --pid $pid 2>/dev/null); do
    if xdotool getwindowgeometry $w 2>/dev/null | grep -q "Geometry: $1"; then window=$w; return 0; fi
  done
  return 1
}
]=])

# The lines that end a test's shell script once the game ($pid) was asked to end: its status
# becomes the script's, with its log shown.
set(KESTRIN_XVFB_FINISH [=[
status=0
wait $pid || status=$?
echo "exit status $status"
cat "$WORK/kestrin.log"
exit $status
]=])

# The server has only its built-in fonts, whatever font packages the machine has (openbox brings
# some): as on a desktop without core X fonts, where SDL has no message box of its own. It does
# not reset when its last client leaves: a program started right after the game ended would
# find no display while it resets.
set(KESTRIN_XVFB_SERVER "-noreset -fp built-ins -screen 0 1280x1024x24")

# Starts a server of the test's own: Xvfb picks a free display itself (-displayfd) and says
# which once it is ready, so tests that start at the same moment never share one (xvfb-run -a
# can hand two of them the same number, and the first to end takes the other's server away).
# Runs "$1" under it with DISPLAY set, then stops the server; the script's status is the result.
set(KESTRIN_XVFB_LAUNCH [=[
ready=$(mktemp)
"$XVFB" -displayfd 3 -nolisten tcp $XVFB_ARGS 3>"$ready" 2>"$ready.log" &
server=$!
deadline=$(( $(date +%s) + BOUND ))
until [ -s "$ready" ]; do
  kill -0 $server 2>/dev/null || { echo "Xvfb did not start: $(cat "$ready.log")"; exit 3; }
  [ "$(date +%s)" -lt "$deadline" ] || { echo "Xvfb did not become ready"; kill $server; exit 3; }
  sleep 0.05
done
DISPLAY=:$(head -n 1 "$ready")
export DISPLAY
sh -c "$1"
status=$?
kill $server 2>/dev/null
wait $server 2>/dev/null
rm -f "$ready" "$ready.log"
exit $status
]=])

# Runs the shell script (after KESTRIN_XVFB_START) under a virtual X server of its own with
# KESTRIN, BOUND and the given VAR=value pairs set; a status other than 0 fails the test. The
# whole run is bounded only against hangs, well above the waits of the script.
function(kestrin_run_under_xvfb name script)
  if(NOT XVFB)
    message(FATAL_ERROR "${name}: Xvfb is needed (tools/setup.sh installs it)")
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "LSAN_OPTIONS=detect_leaks=0" KESTRIN=${KESTRIN} BOUND=${KESTRIN_XVFB_BOUND}
            XVFB=${XVFB} "XVFB_ARGS=${KESTRIN_XVFB_SERVER}" ${ARGN}
            sh -c "${KESTRIN_XVFB_LAUNCH}" kestrin-xvfb "${KESTRIN_XVFB_START}${script}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output
    TIMEOUT 1800)
  message("${output}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name}: failed (${result})")
  endif()
endfunction()
