# Under a virtual X server with a private session bus, a real ibus-daemon and a small IBus
# engine of our own (tests/data/ime/test_engine.py), the player types into the "ime" tag with
# xdotool: a key the engine passes on is typed, "k a" opens the candidate list that the game
# draws as game text, Space moves the brackets, the input method's focus leaves our input
# context with the window's and comes back to it (not to SDL's own) with the list still drawn,
# and Return commits the selected word without ending the input. Then the daemon is stopped
# (SIGSTOP): the keys typed then are drawn, the client gives up after three time-outs, and the
# game ends on SIGTERM.
# The frames are compared with reviewed golden images (each byte within 2); when they change,
# look at tmp/ime_client_xvfb/*.png first.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
kestrin_xvfb_require(ime_client_xvfb xdotool)
kestrin_xvfb_require(ime_client_xvfb import)
kestrin_xvfb_require(ime_client_xvfb xwininfo)
kestrin_xvfb_require(ime_client_xvfb ibus-daemon)
kestrin_xvfb_require(ime_client_xvfb dbus-daemon)

set(work ${BINARY_DIR}/tmp/ime_client_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/home ${work}/components)
file(COPY ${SOURCE_DIR}/tests/data/ime/game DESTINATION ${work})

set(script [=[
# A bus and an input method of the test's own; programs find IBus through its address file.
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" IBUS_COMPONENT_PATH="$WORK/components"
unset IBUS_ADDRESS IBUS_ADDRESS_FILE XMODIFIERS GTK_IM_MODULE SDL_IM_MODULE
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$WORK/bus" 4>"$WORK/bus.pid"
DBUS_SESSION_BUS_ADDRESS=$(cat "$WORK/bus")
export DBUS_SESSION_BUS_ADDRESS
ibus-daemon --panel=disable --config=disable --cache=none > "$WORK/ibus.log" 2>&1 &
ibus=$!
/usr/bin/python3 "$DATA/test_engine.py" "$WORK/engine.ready" > "$WORK/engine.log" 2>&1 &
engine=$!
trap 'kill -CONT $ibus; kill $engine $ibus $(cat "$WORK/bus.pid") 2>/dev/null' EXIT
wait_for test -s "$WORK/engine.ready" || fail "the test engine did not start: $(cat "$WORK/engine.log" "$WORK/ibus.log")"

KESTRIN_LOG_WINDOW=0 "$KESTRIN" "$WORK/game" > "$WORK/kestrin.log" 2>&1 &
pid=$!
wait_for find_window 320x240 || fail "no 320x240 window appeared"
# Without a window manager the keyboard goes to the window under the pointer.
xdotool mousemove --window $window 20 20
wait_for logged "IBus: the game draws" || fail "the game did not open an input context of its own"
# The window shows the golden frame $1 (each byte within 2).
shows() {
  import -window $window "$WORK/$1" 2>/dev/null && "$PNGDIFF" "$DATA/$1" "$WORK/$1" 2 > /dev/null 2>&1
}
focused_context() {
  /usr/bin/python3 -c "import gi; gi.require_version('IBus', '1.0'); from gi.repository import IBus; print(IBus.Bus().current_input_context() or '')" 2>/dev/null
}
xdotool key x k a
wait_for shows candidates.png || fail "the candidate list was not drawn (see $WORK/candidates.png)"
xdotool key space
wait_for shows selected.png || fail "the brackets did not move (see $WORK/selected.png)"
ours=$(focused_context)
[ -n "$ours" ] || fail "IBus names no focused input context"
moved_away() { [ "$(focused_context)" != "$ours" ]; }
moved_back() { [ "$(focused_context)" = "$ours" ]; }
# The keyboard focus goes to the root window and comes back.
root=$(xwininfo -root | awk '/Window id:/ { print $4 }')
xdotool mousemove 700 700 windowfocus $root
wait_for moved_away || fail "our input context kept the input method's focus without the window's"
xdotool mousemove --window $window 20 20 windowfocus $window
# SDL's own context asks for the focus too: ours must end up with it, without a key.
wait_for moved_back || fail "our input context did not get the input method's focus back ($(focused_context), ours $ours)"
wait_for shows selected.png || fail "the list was not drawn after the focus came back (see $WORK/selected.png)"
xdotool key Return y Return
wait_for logged "debugprint Abxカy" || fail "the committed word did not reach the variable"

# A daemon that hangs: three key events time out (k down and up, z down), go to the game as
# keys the input method passed on, and the client gives up; the game goes on drawing and ends
# on SIGTERM as usual, all while the daemon stays stopped.
kill -STOP $ibus
import -window $window "$WORK/hung.png" || fail "no picture of the window"
xdotool key k z
wait_for logged "IBus stopped answering" || fail "the client did not give up on the stopped daemon"
typed() {
  import -window $window "$WORK/typed.png" 2>/dev/null && ! "$PNGDIFF" "$WORK/hung.png" "$WORK/typed.png" 2 > /dev/null 2>&1
}
wait_for typed || fail "the keys typed while the daemon was stopped were not drawn"
kill -TERM $pid
]=])
string(APPEND script "${KESTRIN_XVFB_FINISH}")

kestrin_run_under_xvfb(ime_client_xvfb "${script}" WORK=${work} DATA=${SOURCE_DIR}/tests/data/ime
  PNGDIFF=${BINARY_DIR}/tools/kestrin-pngdiff)
