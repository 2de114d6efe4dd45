#!/usr/bin/env bash
# unison-close-signal.sh KESTRIN WORK SOURCE_DIR
# A game syncing a save against a server on 127.0.0.1 that trickles its reply gets SIGTERM
# while the download runs: it must exit with status 0 at once, having written its autosave
# and left the save as it was. Exits non-zero with a reason otherwise.
set -u
kestrin=$1 work=$2 source=$3
game="$work/game"
store="$work/store"
rm -rf "$work"
mkdir -p "$game/savedata" "$store"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[SYSTEM]\r\nCHARSET=utf-8\r\nSAVEPATH=savedata\r\n[WINDOW]\r\nWIDTH=64\r\nHEIGHT=48\r\n' >"$game/system.ini"
printf '[autosave allow=1]\n[unison file=trickle.dat server="http://127.0.0.1:%s/save" appname=g id=p pass=secret]\n[wait time=100000000]\n' \
  "$port" >"$game/main.iet"
printf 'precious' >"$game/savedata/trickle.dat"

python3 "$source/tests/network/http_test_server.py" "$port" "$store" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
# Ready once it accepts a connection. The deadline only guards against a hang: a loaded
# machine gets minutes, not a count of tries.
deadline=$(( $(date +%s) + 300 ))
until (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
  kill -0 $server 2>/dev/null || { echo "the test server did not start"; exit 1; }
  [ "$(date +%s)" -lt "$deadline" ] || { echo "the test server took no connection in 300 s"; exit 1; }
  sleep 0.02
done

"$kestrin" "$game" /fsr 2>"$work/stderr.txt" &
pid=$!
# The server marks the moment it starts trickling the download.
until [ -e "$store/trickle.dat.sending" ]; do
  if ! kill -0 $pid 2>/dev/null; then
    echo "kestrin ended before the download started:"; cat "$work/stderr.txt"; exit 1
  fi
  sleep 0.02
done
sent=$(date +%s%N)
kill -TERM $pid
wait $pid
status=$?
ended=$(date +%s%N)
echo "exit status $status, $(( (ended - sent) / 1000000 )) ms after SIGTERM"
fail=0
[ $status -eq 0 ] || { echo "exit status $status"; fail=1; }
grep -qF "unison: a request to close the game ended the exchange" "$work/stderr.txt" ||
  { echo "the sync was not ended by the close request"; fail=1; }
[ -s "$game/savedata/autosave.dat" ] || { echo "no autosave"; fail=1; }
[ "$(cat "$game/savedata/trickle.dat")" = precious ] || { echo "the save was changed"; fail=1; }
[ "$(ls "$game/savedata" | grep -c '\.part$')" -eq 0 ] || { echo "a partial download was left"; fail=1; }
[ $fail -eq 0 ] || cat "$work/stderr.txt"
exit $fail
