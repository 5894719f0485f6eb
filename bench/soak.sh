#!/usr/bin/env bash
# A long live trace: zindra-cli trace against zindra-cli simulate on a
# pseudo-terminal at a raised line rate.  Reports bytes traced, lines
# produced, resident memory after the first minute and at the end, and CPU
# time.  With "record" it is an overnight watch in small: the trace records
# (--record) and the simulator pulls the cable every 2 MB for 3 seconds; the
# recording's size (against the bytes it holds), segments and gaps are
# reported as well.  ZINDRA_CLI names another zindra-cli to measure.
#   bench/soak.sh MINUTES [BAUD] [record]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:?usage: bench/soak.sh MINUTES [BAUD] [record]}"
baud="${2:-115200}"
record="${3:-}"
cli="${ZINDRA_CLI:-build/bin/zindra-cli}"
[ -x "$cli" ] || { echo "build first (./test.sh or ./run.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill $sim $tr 2>/dev/null || true; rm -rf "$work"' EXIT
# A long UGM trace: the sample's telegrams repeated to 50 MB, so the
# simulator never runs dry during the soak.
python3 - "$work/soak.TRC" samples/ugm.TRC <<'PY'
import sys
body = open(sys.argv[2], "rb").read().split(b"\n", 1)[1]
out = bytearray(b"UGM\r\n")
while len(out) < 50_000_000:
    out += body
open(sys.argv[1], "wb").write(out)
PY

sim_args=()
trace_args=()
if [ "$record" = record ]; then
  sim_args=(--pull-after 2000000 --pull-for 3 --link "$work/fat")
  trace_args=(--record "$work/rec")
fi
"$cli" simulate "$work/soak.TRC" --baud "$baud" "${sim_args[@]}" > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -1 "$work/sim.out")
"$cli" trace --port "$pty" --pane hex --save "$work/saved" "${trace_args[@]}" > "$work/trace.out" 2> "$work/trace.err" &
tr=$!

rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
cpu() { awk '{print ($14 + $15) / 100}' "/proc/$1/stat"; }
sleep 60
rss_first=$(rss $tr)
cpu_first=$(cpu $tr)
remaining=$(( minutes * 60 - 60 ))
[ "$remaining" -gt 0 ] && sleep "$remaining"
rss_end=$(rss $tr)
cpu_end=$(cpu $tr)
kill -INT $tr
wait $tr || true
kill -INT $sim 2>/dev/null || true

lines=$(wc -l < "$work/trace.out")
bytes=$(awk '{n += (length($0) > 0 ? int(length($0) / 3) : 0)} END {print n}' "$work/trace.out")
echo "minutes:            $minutes at $baud baud"
echo "bytes traced:       ~$bytes (hex pane bytes)"
echo "hex lines:          $lines"
echo "resident after 1 min: ${rss_first} KiB"
echo "resident at end:      ${rss_end} KiB (difference $(( rss_end - rss_first )) KiB)"
echo "CPU time:           ${cpu_end} s in all (${cpu_first} s in the first minute)"
echo "saved .TRC:         $(stat -c %s "$work/saved.TRC") bytes"
if [ "$record" = record ]; then
  rec=$(ls -d "$work"/rec/*/)
  raw=$(cat "$rec"/*.TRC | wc -c)
  files=$(cat "$rec"/* | wc -c)
  echo "recording:          $(du -sk "$rec" | cut -f1) KiB on disk, $(ls "$rec" | grep -c '\.TRC$') segments," \
       "$(grep -c '^gap=' "$rec/manifest.txt") gaps"
  echo "recording's files:  $files bytes for $raw bytes of segments ($(awk -v a="$files" -v b="$raw" 'BEGIN {printf "%.2f", a / b}') x)"
  ls -l "$rec"
  echo "pulls:              $(grep -c '^PULL' "$work/sim.err")"
fi
