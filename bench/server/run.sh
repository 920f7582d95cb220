#!/usr/bin/env bash
# Figures for the reference server, on loopback only:
#  1. the server's resident memory after two simulated clients poll at the client's rates for 60 s;
#  2. requests per second of GET /api/mobile/notifications?limit=1 under wrk (2 threads, 8 connections, 10 s).
# Usage: bench/server/run.sh BUILD_DIR   (BUILD_DIR holds server/theorvane-server and bench/server/bench_server)
set -euo pipefail
build=${1:?usage: bench/server/run.sh BUILD_DIR}
seconds=${THEORVANE_BENCH_SECONDS:-60}
data=$(mktemp -d)
out="$data/server.out"
"$build/server/theorvane-server" --demo --port 0 --data "$data" >"$out" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT
for _ in $(seq 1 200); do grep -q '^listening on ' "$out" && break; sleep 0.05; done
url=$(sed -n 's/^listening on //p' "$out")
[ -n "$url" ] || { cat "$out"; exit 1; }

token=$(curl -s -X POST "$url/api/mobile/auth" \
  -d '{"action":"login","email":"anna@demo.theorvane.example","password":"demo1234"}' |
  sed -n 's/.*"token":"\([0-9a-f]*\)".*/\1/p')
echo "server pid $pid at $url, resident $(awk '/VmRSS/ {print $2, $3}' /proc/$pid/status) after start"
echo "== two clients polling for $seconds s"
"$build/bench/server/bench_server" --url "$url" --pid "$pid" --seconds "$seconds"
echo "== wrk -t2 -c8 -d10s notifications?limit=1"
wrk -t2 -c8 -d10s -H "Authorization: Bearer $token" "$url/api/mobile/notifications?limit=1"
echo "resident $(awk '/VmRSS/ {print $2, $3}' /proc/$pid/status) after wrk"
