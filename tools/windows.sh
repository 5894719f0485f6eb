#!/usr/bin/env bash
# Cross-builds the non-Qt part of Zindra for 64-bit Windows with mingw-w64
# into build-win/ and runs it under Wine:
#   - the GoogleTest suites of the decoders, the trace session, the serial
#     port (its comm API suites on two COM ports joined by socat) and the CLI;
#   - a live trace end to end: zindra-cli.exe trace --port COM1, with COM1
#     mapped to the pseudo-terminal of the Linux simulator, must print what
#     the replay of the same file prints, byte for byte.
# Installs what is missing (mingw-w64, Wine, socat, GoogleTest's sources).
#   tools/windows.sh            (./test.sh --windows calls it)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh

BUILD="$ZINDRA_ROOT/build-win"
GTEST_PREFIX="$BUILD/_gtest"
HOST="$BUILD/_host"  # a Linux zindra-cli: the simulator and the reference replay
E2E="$BUILD/_e2e"
export WINEPREFIX="$BUILD/_wine"
export WINEDEBUG=-all
export WINEARCH=win64

werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

ensure_packages cmake make g++ googletest g++-mingw-w64-x86-64-posix wine wine64 socat
WINE=wine

# --- build -------------------------------------------------------------------

if [ ! -f "$GTEST_PREFIX/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "building GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$BUILD/_googletest" -DCMAKE_TOOLCHAIN_FILE="$ZINDRA_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" >/dev/null
  cmake --build "$BUILD/_googletest" -j "$JOBS" >/dev/null
  cmake --install "$BUILD/_googletest" >/dev/null
fi

# Test discovery is left to CTest time, so that building runs no Wine.
configure_and_build "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ZINDRA_ROOT/cmake/mingw-w64.cmake" \
  -DZINDRA_WIN_PREFIX="$GTEST_PREFIX" -DZINDRA_BUILD_APP=OFF -DZINDRA_WERROR="$werror" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
configure_and_build "$HOST" -DZINDRA_BUILD_APP=OFF -DZINDRA_BUILD_TESTS=OFF -DZINDRA_WERROR="$werror"

# --- Wine and the serial links -----------------------------------------------

pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

# One wineserver for the whole run.  Wine maps COM ports to /dev/ttyS* when
# it starts; the links set below, after the start, replace that mapping.
# (wineserver writes its object list to stderr when it is killed.)
rm -rf "$E2E" && mkdir -p "$E2E" "$WINEPREFIX"
wineserver -k 2>/dev/null || true
wineserver -p 2>"$E2E/wineserver.err"
"$WINE" wineboot >/dev/null 2>&1

# Links a COM port of the prefix to a Unix device (comN in dosdevices).
map_port() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/$(echo "$1" | tr 'A-Z' 'a-z')"
}

# Waits up to $2 seconds until file $1 holds a whole first line.
await_line() {
  local i
  for ((i = 0; i < $2 * 20; i++)); do
    if [ -s "$1" ] && [ "$(wc -l <"$1")" -ge 1 ]; then return 0; fi
    sleep 0.05
  done
  return 1
}

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
for suite in decoders_tests trace_tests serial_tests cli_tests; do
  echo "== $suite (Wine)"
  log="$E2E/$suite.log"
  status=0
  (cd "$BUILD" && ZINDRA_TEST_COM_PAIR="COM2 COM3" "$WINE" "bin/$suite.exe" --gtest_brief=1) >"$log" 2>&1 ||
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
  for ((i = 0; i < 30; i++)); do
    grep -q TRACEOF "$E2E/sim.err" && break
    sleep 0.1
  done
  if ! grep -q TRACEOF "$E2E/sim.err"; then
    echo "the simulator never saw TRACEOF" >&2
    e2e_ok=false
  fi
fi
if $e2e_ok; then
  echo "live trace: $(wc -l <"$E2E/trace.out") event lines, the same bytes as the replay"
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
