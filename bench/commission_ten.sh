#!/usr/bin/env bash
# Ten simulated sensors commissioned one after the other with a shell loop, as an operator
# would: each gets its own address, the filter and FIFO rate, then its record.
#
#   bench/commission_ten.sh [build folder, default build] [report seconds, default 10]
#
# Prints the time of each sensor and of the whole batch. The sensors sit on one simulated line
# at addresses 1..10 and move to 101..110.
set -euo pipefail
build=${1:-build}
seconds=${2:-10}
cli=$build/app/vantor-cli
sim=$build/sim/vantor-sim
work=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

args=()
for i in $(seq 1 10); do args+=(--id "$i"); done
"$sim" "${args[@]}" >"$work/sim.out" &
sim_pid=$!
until grep -q '^device ' "$work/sim.out"; do
  kill -0 "$sim_pid" || { echo "vantor-sim did not start" >&2; exit 1; }
  sleep 0.05
done
port=$(awk '/^device /{print $2}' "$work/sim.out")

start=$(date +%s.%N)
for i in $(seq 1 10); do
  a=$((100 + i))
  t0=$(date +%s.%N)
  "$cli" set --port "$port" --id "$i" --address "$a" --filter 2.5 --fifo 10 >/dev/null
  "$cli" report --port "$port" --id "$a" --out "$work/sensor-$a.html" --seconds "$seconds" --note "bench" >/dev/null
  t1=$(date +%s.%N)
  printf 'sensor %2d -> address %3d: %6.2f s\n' "$i" "$a" "$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b - a}')"
done
end=$(date +%s.%N)
printf 'ten sensors: %.2f s (%d records of %s s recording each)\n' "$(awk -v a="$start" -v b="$end" 'BEGIN{print b - a}')" \
  "$(ls "$work"/sensor-*.html | wc -l)" "$seconds"
