#!/usr/bin/env bash
# Installs what is missing, builds Zindra with its tests and runs them.
#   ./test.sh                      the normal build and every test (CTest)
#   ./test.sh --sanitize           the non-Qt libraries and their tests under ASan + UBSan
#   ./test.sh --tsan               the serial tests under ThreadSanitizer
#   ./test.sh --fuzz [--seconds N] each libFuzzer target for N seconds (default 30)
#   ./test.sh --windows [--window] the non-Qt parts cross-built with mingw-w64 and tested under
#                                  Wine; --window adds the window (against a Qt built once into
#                                  ~/.cache/zindra), its live trace and the zip
set -euo pipefail
cd "$(dirname "$0")"
source tools/common.sh

mode=normal
seconds=30
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) mode=sanitize ;;
    --tsan) mode=tsan ;;
    --fuzz) mode=fuzz ;;
    --windows) shift; exec tools/windows.sh "$@" ;;
    --seconds) seconds="$2"; shift ;;
    *) echo "usage: $0 [--sanitize | --tsan | --fuzz [--seconds N] | --windows]" >&2; exit 2 ;;
  esac
  shift
done

werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

case "$mode" in
  normal)
    base_packages
    # The report's test renders it in a browser.
    ensure_packages chromium
    configure_and_build build -DZINDRA_BUILD_APP=ON -DZINDRA_BUILD_TESTS=ON -DZINDRA_WERROR="$werror"
    ctest --test-dir build --output-on-failure -j "$JOBS"
    ;;
  sanitize)
    ensure_packages cmake g++ make libgtest-dev libgmock-dev
    configure_and_build build-asan -DZINDRA_SANITIZE=ON -DZINDRA_BUILD_APP=OFF -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build-asan --output-on-failure -j "$JOBS"
    ;;
  tsan)
    ensure_packages cmake g++ make libgtest-dev libgmock-dev
    configure_and_build build-tsan -DZINDRA_TSAN=ON -DZINDRA_BUILD_APP=OFF -DCMAKE_BUILD_TYPE=Debug
    # The serial component's own tests, and the live traces of zindra-cli
    # (itself built with ThreadSanitizer) against the simulator.
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    build-tsan/bin/serial_tests
    build-tsan/bin/cli_tests --gtest_filter='TraceE2e*'
    ;;
  fuzz)
    ensure_packages cmake make clang libclang-rt-14-dev
    CC=clang CXX=clang++ configure_and_build build-fuzz -DZINDRA_FUZZ=ON -DZINDRA_BUILD_APP=OFF \
      -DZINDRA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
    corpus=build-fuzz/corpus
    rm -rf "$corpus" && mkdir -p "$corpus/stream" "$corpus/ident" "$corpus/filter" "$corpus/recording"
    # Seeds from the samples: the stream target's first byte 0x16 awaits the
    # reply line in the stream, as a replay does.
    for f in samples/*.TRC; do
      [ -e "$f" ] || continue
      name=$(basename "$f" .TRC)
      { printf '\x16'; cat "$f"; } > "$corpus/stream/$name"
      head -c 40 "$f" > "$corpus/ident/$name"
    done
    # Inputs that once broke a target stay among its seeds (fuzz/seeds/<target>/).
    for dir in fuzz/seeds/*/; do
      cp "$dir"* "$corpus/$(basename "$dir")/"
    done
    # Filter texts of the kinds people type.
    printf 'Linie=3 text~St\303\266r' > "$corpus/filter/fields"
    printf '%s' '"Linie aus" AND Zeit>=2026-12-08T22:00 Telegramm~0D0A' > "$corpus/filter/phrase"
    printf '%s' 'Zustand!="St""r" OR Code=0x1F' > "$corpus/filter/quotes"
    # The recording folder's texts (fuzz/recording_fuzz.cpp: two bytes of
    # segment size, the manifest, a zero byte, the index) are seeded from
    # fuzz/seeds/recording/ above.
    for target in stream_fuzz ident_fuzz filter_fuzz recording_fuzz; do
      dir="$corpus/${target%_fuzz}"
      echo "fuzzing $target for $seconds s"
      ASAN_OPTIONS=detect_leaks=1 build-fuzz/bin/$target -max_total_time="$seconds" -print_final_stats=1 \
        -max_len=4096 -artifact_prefix=build-fuzz/ "$dir" 2>&1 | tail -n 12
      [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "$target found a failure" >&2; exit 1; }
    done
    ;;
esac
