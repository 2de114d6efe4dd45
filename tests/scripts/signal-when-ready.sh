#!/usr/bin/env bash
# signal-when-ready.sh SIGNAL LOG TEXT COMMAND...
# Runs COMMAND with its stderr in LOG, waits until LOG holds TEXT (a fixed string: the
# program has reached that point), sends SIGNAL and exits with COMMAND's status.
# Exits 125 when COMMAND ended before TEXT showed.
set -u
signal=$1 log=$2 text=$3
shift 3
: >"$log"
"$@" 2>"$log" &
pid=$!
# True while the child runs (a zombie, ended but not yet waited for, counts as ended).
running() {
  local stat
  stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}
until grep -qF -- "$text" "$log"; do
  if ! running; then
    wait "$pid"
    echo "signal-when-ready: the program ended (status $?) before \"$text\" showed" >&2
    exit 125
  fi
  sleep 0.02
done
kill -s "$signal" "$pid"
wait "$pid"
