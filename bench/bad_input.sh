#!/usr/bin/env bash
# Time and peak memory of `zindra-cli replay` on input that once cost
# quadratic time or unbounded memory:
#   1. 1 GiB without a reply line (a sparse file of zeros),
#   2. "\r\n" + 1 GiB (the first line feed too early for a reply),
#   3. "UNBEKANNT\r\n" + 200 MB of 'A' with --pane hex (one hex line of 600 MB).
#   bench/bad_input.sh [SECONDS]   each run is stopped after SECONDS (default 120)
# ZINDRA_CLI selects the program (default build/bin/zindra-cli).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
ensure_packages time
limit="${1:-120}"
cli="${ZINDRA_CLI:-build/bin/zindra-cli}"
[ -x "$cli" ] || configure_and_build build -DZINDRA_BUILD_TESTS=OFF -DZINDRA_BUILD_APP=OFF

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
truncate -s 1G "$work/zeros.TRC"
{ printf '\r\n'; } > "$work/early-lf.TRC" && truncate -s $((2 + (1 << 30))) "$work/early-lf.TRC"
{ printf 'UNBEKANNT\r\n'; head -c 200000000 /dev/zero | tr '\0' 'A'; } > "$work/one-line.TRC"

run() {
  local name="$1"
  shift
  local report="$work/time.txt"
  local status=0
  /usr/bin/time -v -o "$report" timeout "$limit" "$cli" replay "$@" > /dev/null 2>&1 || status=$?
  local wall rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$report")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$report")
  if [ "$status" -eq 124 ]; then wall="stopped after ${limit} s"; fi
  printf '%-40s %-22s %8s MiB  (exit %s)\n' "$name" "$wall" "$((rss / 1024))" "$status"
}

printf '%-40s %-22s %12s\n' "input" "wall time" "peak memory"
run "1 GiB of zeros" "$work/zeros.TRC"
run "\\r\\n + 1 GiB of zeros" "$work/early-lf.TRC"
run "UNBEKANNT\\r\\n + 200 MB, --pane hex" --pane hex "$work/one-line.TRC"
