#!/bin/sh
# A second launch on the same session bus brings the first window forward and leaves at once with 0;
# another development profile still starts an instance of its own.
#   second_launch.sh <theorvane-teams>
set -u
dir=$(mktemp -d)
first=""; other=""
cleanup() { for pid in $first $other; do kill "$pid" 2>/dev/null; done; rm -rf "$dir"; }
trap cleanup EXIT
export XDG_CONFIG_HOME="$dir" QT_QPA_PLATFORM=offscreen THEORVANE_SERVER_URL=http://127.0.0.1:9
owned() { dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
  "string:$1" 2>/dev/null | grep -q "boolean true"; }
waitfor() { i=0; while ! "$@"; do i=$((i+1)); [ $i -gt 300 ] && return 1; sleep 0.1; done; }

"$1" >"$dir/first.log" 2>&1 & first=$!
waitfor owned com.theorvane.Teams || { echo "the first instance never took its bus name"; exit 1; }
start=$(date +%s%N)
timeout 10 "$1" >"$dir/second.log" 2>&1; status=$?
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$status" -eq 0 ] || { echo "second launch exited with $status"; cat "$dir/second.log"; exit 1; }
[ "$elapsed" -lt 1000 ] || { echo "second launch took ${elapsed} ms"; exit 1; }
waitfor grep -q "brought forward by a second launch" "$dir/first.log" || { echo "first window not raised"; exit 1; }
kill -0 "$first" || { echo "the first instance is gone"; exit 1; }

THEORVANE_PROFILE=second "$1" >"$dir/other.log" 2>&1 & other=$!
waitfor owned com.theorvane.Teams.psecond || { echo "a second profile could not start"; exit 1; }
echo "second launch handed over in ${elapsed} ms"
