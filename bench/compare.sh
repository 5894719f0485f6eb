#!/usr/bin/env bash
# Times `zindra-cli replay --protocol UGM --pane hex` against xxd and
# hexdump -C on the same 50 MB synthetic UGM stream; prints the medians of
# several rounds and the ratio zindra / xxd.
#   bench/compare.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
ensure_packages xxd bsdextrautils python3
rounds="${1:-5}"
cli="${ZINDRA_CLI:-build/bin/zindra-cli}"
[ -x "$cli" ] || configure_and_build build -DZINDRA_BUILD_TESTS=OFF -DZINDRA_BUILD_APP=OFF

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data="$work/ugm50.TRC"
python3 - "$data" <<'PY'
import random, sys
random.seed(7)
out = bytearray()
def telegram():
    body = b"1" + bytes(random.choice(b"0123456789:;<=>?") for _ in range(14))
    return b"\x02" + body + b"\x03" + bytes([random.randrange(256)])
while len(out) < 50 * 1000 * 1000:
    out += telegram()
    if random.random() < 0.2:
        out += bytes(random.randrange(0x20, 0x7F) for _ in range(random.randrange(1, 4)))
open(sys.argv[1], "wb").write(out)
PY

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
timeit() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
command -v bc >/dev/null || ensure_packages bc

declare -A med
for tool in zindra xxd hexdump; do
  times=()
  for _ in $(seq "$rounds"); do
    case $tool in
      zindra) t=$(timeit "$cli" replay --protocol UGM --pane hex "$data") ;;
      xxd) t=$(timeit xxd "$data") ;;
      hexdump) t=$(timeit hexdump -C "$data") ;;
    esac
    times+=("$t")
  done
  med[$tool]=$(printf '%s\n' "${times[@]}" | median)
  printf '%-8s median %.3f s over %d rounds (%.1f MB/s)\n' "$tool" "${med[$tool]}" "$rounds" \
    "$(echo "50 / ${med[$tool]}" | bc -l)"
done
printf 'ratio zindra / xxd: %.2f\n' "$(echo "${med[zindra]} / ${med[xxd]}" | bc -l)"
printf 'ratio zindra / hexdump -C: %.2f\n' "$(echo "${med[zindra]} / ${med[hexdump]}" | bc -l)"
