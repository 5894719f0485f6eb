#!/usr/bin/env bash
# Cross-builds Zindra for 64-bit Windows with mingw-w64 into build-win/ (the
# window against the Qt that tools/qt-windows.sh builds once into the cache)
# and runs it under Wine:
#   - the GoogleTest suites of the decoders, the trace session, the serial
#     port (its comm API suites on two COM ports joined by socat), the CLI
#     and the window (offscreen; its pseudo-terminal tests left out);
#   - a live trace end to end: zindra-cli.exe trace --port COM1, with COM1
#     mapped to the pseudo-terminal of the Linux simulator, must print what
#     the replay of the same file prints, byte for byte;
#   - the same live trace in the window: Start, Memo3 equal to the replay,
#     Stopp sends "\nTRACEOF";
#   - the zip for technicians (tools/package-windows.sh), unpacked into an
#     empty Wine prefix: zindra.exe replays a sample as the Linux replay does.
# Installs what is missing (mingw-w64, Wine, socat, Xvfb, GoogleTest's sources).
#   tools/windows.sh            the parts without Qt (./test.sh --windows calls it)
#   tools/windows.sh --window   the window, its live trace and the zip as well
#                               (./test.sh --windows --window)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh

WINDOWS_WINDOW=no
case "${1:-}" in
  --window) WINDOWS_WINDOW=yes ;;
  "") ;;
  *) echo "usage: $0 [--window]" >&2; exit 2 ;;
esac

source tools/windows-build.sh

E2E="$BUILD/_e2e"
export WINEPREFIX="$BUILD/_wine"
export WINEDEBUG=-all
export WINEARCH=win64

ensure_packages wine wine64 fonts-wine socat xvfb xdotool imagemagick zip unzip qt6-translations-l10n
WINE=wine

build_windows

# --- Wine and the serial links -----------------------------------------------

pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k >/dev/null 2>&1 || true
  [ -z "${XVFB_PID:-}" ] || kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

# One wineserver for the whole run.  Wine maps COM ports to /dev/ttyS* when
# it starts; the links set below, after the start, replace that mapping.
# (wineserver writes its object list to stderr when it is killed.)
rm -rf "$E2E" && mkdir -p "$E2E" "$WINEPREFIX"
# A screen for Wine's windows; the window's tests themselves draw offscreen.
XVFB_PID=""
start_xvfb "$E2E/xvfb.log"
wineserver -k 2>/dev/null || true
wineserver -p 2>"$E2E/wineserver.err"
"$WINE" wineboot >/dev/null 2>&1

# Two pseudo-terminals joined like a null-modem cable, as COM2 and COM3.
socat pty,raw,echo=0,link="$E2E/com2" pty,raw,echo=0,link="$E2E/com3" 2>"$E2E/socat.err" &
pids+=($!)
for ((i = 0; i < 100; i++)); do
  [ -e "$E2E/com2" ] && [ -e "$E2E/com3" ] && break
  sleep 0.05
done
map_port COM2 "$E2E/com2"
map_port COM3 "$E2E/com3"

# --- the suites --------------------------------------------------------------

passed=0
failed=0
suites=(decoders_tests trace_tests events_tests recording_tests live_tests serial_tests cli_tests)
[ "$WINDOWS_WINDOW" = no ] || suites+=(app_tests)
for suite in "${suites[@]}"; do
  echo "== $suite (Wine)"
  log="$E2E/$suite.log"
  status=0
  # The window's tests draw offscreen.
  (cd "$BUILD" && ZINDRA_TEST_COM_PAIR="COM2 COM3" QT_QPA_PLATFORM=offscreen "$WINE" "bin/$suite.exe" --gtest_brief=1) \
    >"$log" 2>&1 ||
    status=$?
  if [ "$status" -eq 0 ]; then
    grep -E '^\[ +(SKIPPED) +\]|^\[==========\]|^\[  PASSED  \]' "$log" | grep -v '^\[==========\] Running' || true
  else
    # --gtest_brief leaves only the failures and the summary: show them whole.
    grep -v '^\[==========\] Running' "$log" | tail -n 80
  fi
  n=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log" | tail -n 1)
  passed=$((passed + ${n:-0}))
  if [ "$status" -ne 0 ]; then
    f=$(sed -nE 's/^ *([0-9]+) FAILED TESTS?$/\1/p' "$log" | tail -n 1)
    failed=$((failed + ${f:-1}))
  fi
done

# Counts one end-to-end check as passed ($1 true) or failed.
tally() {
  if $1; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

# Waits up to 3 s until the simulator's standard error ($1) shows TRACEOF.
saw_traceof() {
  local i
  for ((i = 0; i < 30; i++)); do
    grep -q TRACEOF "$1" && return 0
    sleep 0.1
  done
  return 1
}

# --- live trace end to end ---------------------------------------------------

echo "== live trace under Wine against the Linux simulator"
sample="$ZINDRA_ROOT/samples/ugm.TRC"
"$HOST/bin/zindra-cli" replay "$sample" >"$E2E/replay.out"
"$HOST/bin/zindra-cli" simulate "$sample" >"$E2E/sim.out" 2>"$E2E/sim.err" &
pids+=($!)
e2e_ok=true
if ! await_line "$E2E/sim.out" 5; then
  echo "the simulator offered no pseudo-terminal" >&2
  e2e_ok=false
else
  map_port COM1 "$(head -n 1 "$E2E/sim.out")"
  (cd "$E2E" && exec "$WINE" "$BUILD/bin/zindra-cli.exe" trace --port COM1 --save live) \
    >"$E2E/trace.out" 2>"$E2E/trace.err" &
  trace_pid=$!
  pids+=("$trace_pid")
  # Until the whole file has been decoded, then Ctrl+C as a user would.
  for ((i = 0; i < 300; i++)); do
    cmp -s "$E2E/trace.out" "$E2E/replay.out" && break
    kill -0 "$trace_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -INT "$trace_pid" 2>/dev/null || true
  for ((i = 0; i < 100; i++)); do
    kill -0 "$trace_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$trace_pid" 2>/dev/null; then
    echo "zindra-cli.exe trace did not end within 10 s of Ctrl+C" >&2
    kill -KILL "$trace_pid" 2>/dev/null || true
  fi
  trace_status=0
  wait "$trace_pid" || trace_status=$?
  if [ "$trace_status" -ne 0 ]; then
    echo "zindra-cli.exe trace ended with status $trace_status: $(cat "$E2E/trace.err")" >&2
    e2e_ok=false
  fi
  if ! cmp "$E2E/trace.out" "$E2E/replay.out"; then
    echo "the live trace's events differ from the replay's (see $E2E)" >&2
    e2e_ok=false
  fi
  if ! cmp "$E2E/live.TRC" "$sample"; then
    echo "the saved capture differs from what the simulator sent" >&2
    e2e_ok=false
  fi
  # Stopp sent "\nTRACEOF", on which the simulator stops sending.
  if ! saw_traceof "$E2E/sim.err"; then
    echo "the simulator never saw TRACEOF" >&2
    e2e_ok=false
  fi
fi
$e2e_ok && echo "live trace: $(wc -l <"$E2E/trace.out") event lines, the same bytes as the replay"
tally $e2e_ok

if [ "$WINDOWS_WINDOW" = yes ]; then

# --- live trace in the window -----------------------------------------------

echo "== live trace in the window under Wine against the Linux simulator"
"$HOST/bin/zindra-cli" simulate "$sample" >"$E2E/wsim.out" 2>"$E2E/wsim.err" &
wsim=$!
pids+=("$wsim")
window_ok=true
if ! await_line "$E2E/wsim.out" 5; then
  echo "the simulator offered no pseudo-terminal" >&2
  window_ok=false
else
  map_port COM1 "$(head -n 1 "$E2E/wsim.out")"
  # Start, the events in Memo3 equal to the replay's, Stopp.
  if ! (cd "$E2E" && QT_QPA_PLATFORM=offscreen "$WINE" "$BUILD/bin/window_trace.exe" COM1 replay.out window.out) \
    2>"$E2E/window.err"; then
    echo "the window's live trace failed: $(tr -d '\r' <"$E2E/window.err")" >&2
    window_ok=false
  fi
  if ! grep -q 'panel during the trace: " UGM Trace "' "$E2E/window.err"; then
    echo "the window's panel did not show the UGM trace" >&2
    window_ok=false
  fi
  if ! cmp "$E2E/window.out" "$E2E/replay.out"; then
    echo "the window's events differ from the replay's (see $E2E)" >&2
    window_ok=false
  fi
  if ! saw_traceof "$E2E/wsim.err"; then
    echo "the simulator never saw the window's TRACEOF" >&2
    window_ok=false
  fi
fi
kill "$wsim" 2>/dev/null || true
$window_ok && echo "window live trace: $(wc -l <"$E2E/window.out") event lines in Memo3, the same bytes as the replay"
tally $window_ok

# --- the download, in an empty Wine prefix -----------------------------------

echo "== the Windows zip in an empty Wine prefix"
wineserver -k >/dev/null 2>&1 || true
zip_ok=true
tools/package-windows.sh --no-build --check || zip_ok=false
tally $zip_ok

fi

echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
