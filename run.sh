#!/usr/bin/env bash
# Installs what is missing, builds Zindra and starts the window.
#   ./run.sh          the window (build/bin/zindra)
#   ./run.sh --demo   the window with a simulated FAT playing samples/ugm.TRC:
#                     press Start to see a live trace
#   ./run.sh --package-windows
#                     dist/zindra-<version>-win64.zip for technicians
#                     (tools/package-windows.sh; builds Qt for Windows once)
set -euo pipefail
cd "$(dirname "$0")"
source tools/common.sh

demo=no
if [ "${1:-}" = "--demo" ]; then demo=yes; shift; fi
if [ "${1:-}" = "--package-windows" ]; then shift; exec tools/package-windows.sh "$@"; fi

base_packages
configure_and_build build -DZINDRA_BUILD_APP=ON

if [ "$demo" = no ]; then
  exec build/bin/zindra "$@"
fi

# A throw-away configuration folder whose ZINDRA.INI points the window at the
# simulator's pseudo-terminal.
work=$(mktemp -d)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
build/bin/zindra-cli simulate samples/ugm.TRC > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n 1 "$work/sim.out")
mkdir -p "$work/config/Zindra"
printf '[Port]\nNummer=%s\n' "$pty" > "$work/config/Zindra/ZINDRA.INI"
echo "simulated FAT on $pty; press Start in the window"
XDG_CONFIG_HOME="$work/config" build/bin/zindra "$@"
