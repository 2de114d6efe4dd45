# Under a virtual X server, as a player starts a game:
# - a game without errors, on a machine without a graphics device under /dev/dri (or with
#   only a software rasteriser) and without an audio device, opens exactly one window: the
#   notes about the devices go to stderr and do not open the log window;
# - a game folder without a game exits with status 1 and says on stderr what is missing and
#   where, beside its error box (SDL's, or the engine's own where SDL has none to offer: no
#   zenity, no core X fonts), which is answered as a player would.
include(${SOURCE_DIR}/tests/scripts/common/XvfbGame.cmake)
kestrin_xvfb_require(startup_xvfb xdotool)

set(work ${BINARY_DIR}/tmp/startup_xvfb)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/empty)
file(COPY ${SOURCE_DIR}/sample DESTINATION ${work})
# Music, a picture, then the marker goes and the game waits for the player.
file(WRITE ${work}/sample/main.iet
     "[splay file=sound/theme_a]\n[lyc id=bg file=image/evening.png]\n[flip]\n"
     "[file command=delete target=ready.txt]\n[stop]\n")
file(WRITE ${work}/sample/ready.txt "")

set(script [=[
unset KESTRIN_LOG_WINDOW

SDL_AUDIODRIVER=no-such-driver "$KESTRIN" "$WORK/sample" > "$WORK/kestrin.log" 2>&1 &
pid=$!
if ! wait_for test ! -e "$WORK/sample/ready.txt"; then
  kill -0 $pid 2>/dev/null || fail "the game ended before it waited for the player"
  fail "the game did not reach its wait"
fi
grep -q "^kestrin: warning: sound: no audio device" "$WORK/kestrin.log" || fail "the game found an audio device"
grep -q -e "^kestrin: note: renderer: No graphics device" -e "software rasteriser" "$WORK/kestrin.log" ||
  fail "the hardware renderer started: this check needs a machine without a graphics device"
windows=$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)
for w in $(xdotool search --onlyvisible --pid $pid 2>/dev/null); do xdotool getwindowgeometry $w; done
[ "$windows" -eq 1 ] || fail "$windows windows are open, not one"
kill -TERM $pid
status=0
wait $pid || status=$?
[ $status -eq 0 ] || fail "the game ended with status $status"

"$KESTRIN" "$WORK/empty" > "$WORK/kestrin.log" 2>&1 &
pid=$!
box=""
# The game window opens and closes before it. SDL shows its own X11 box (where the server has
# the fonts it needs) from a child process it forks; that window names neither a pid nor a
# class, which xdotool's search needs, so the box is found among the top windows by its title.
find_box() {
  for w in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    [ "$(xdotool getwindowname $w 2>/dev/null)" = "起動エラー" ] && box=$w
  done
  [ -n "$box" ]
}
if ! wait_for find_box; then
  kill -0 $pid 2>/dev/null || fail "the failed start ended without its error box"
  fail "no error box appeared"
fi
xdotool getwindowgeometry $box
# Answered as a player would: the pointer over it (no window manager gives it the keyboard), Return.
xdotool mousemove --window $box 5 5 key --window $box Return
wait_for ended || fail "the failed start did not end when its box was answered"
status=0
wait $pid || status=$?
[ $status -eq 1 ] || fail "a failed start ended with status $status, not 1"
grep -q "^Kestrin: cannot start: no system.ini and no boot script \"main.iet\" in the game folder $WORK/empty\$" \
  "$WORK/kestrin.log" || fail "the failed start did not say what is missing"
cat "$WORK/kestrin.log"
]=])

kestrin_run_under_xvfb(startup_xvfb "${script}" WORK=${work})
