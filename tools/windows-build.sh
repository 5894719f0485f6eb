# Sourced by tools/windows.sh and tools/package-windows.sh: the cross build
# for 64-bit Windows in build-win/.
#   build_windows [TARGET...]   (no target: everything, the tests included)
# With WINDOWS_WINDOW=yes the window is built too, against the Qt for Windows
# that tools/qt-windows.sh builds once into the cache; otherwise only the
# parts without Qt.
# Needs tools/common.sh sourced first.

BUILD="$ZINDRA_ROOT/build-win"
GTEST_PREFIX="$BUILD/_gtest"
HOST="$BUILD/_host"  # a Linux zindra-cli: the simulator and the reference replay

build_windows() {
  local werror=OFF
  if [ "${CI:-}" = "true" ]; then werror=ON; fi
  ensure_packages cmake make g++ googletest g++-mingw-w64-x86-64-posix
  local qt="" app=OFF
  if [ "${WINDOWS_WINDOW:-no}" = yes ]; then
    # Qt for Windows: built once into the cache (about an hour), then reused.
    qt=$("$ZINDRA_ROOT/tools/qt-windows.sh")
    app=ON
  fi
  if [ ! -f "$GTEST_PREFIX/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "building GoogleTest for Windows"
    cmake -S /usr/src/googletest -B "$BUILD/_googletest" -DCMAKE_TOOLCHAIN_FILE="$ZINDRA_ROOT/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" >/dev/null
    cmake --build "$BUILD/_googletest" -j "$JOBS" >/dev/null
    cmake --install "$BUILD/_googletest" >/dev/null
  fi
  # Test discovery is left to CTest time, so that building runs no Wine.
  # The host's moc, uic and rcc (the same Qt version) serve the cross build.
  cmake -S "$ZINDRA_ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ZINDRA_ROOT/cmake/mingw-w64.cmake" \
    -DZINDRA_WIN_PREFIX="$GTEST_PREFIX;$qt" -DCMAKE_PREFIX_PATH="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DZINDRA_BUILD_APP="$app" -DZINDRA_WERROR="$werror" \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
  if [ $# -eq 0 ]; then
    cmake --build "$BUILD" -j "$JOBS"
  else
    cmake --build "$BUILD" -j "$JOBS" --target "$@"
  fi
  configure_and_build "$HOST" -DZINDRA_BUILD_APP=OFF -DZINDRA_BUILD_TESTS=OFF -DZINDRA_WERROR="$werror"
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

# Links a COM port of the Wine prefix to a Unix device (comN in dosdevices).
map_port() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/$(echo "$1" | tr 'A-Z' 'a-z')"
}

# Starts Xvfb on a free display for Wine's windows (log to $1); sets DISPLAY
# and XVFB_PID.
start_xvfb() {
  local n i
  for ((n = 90; n < 120; n++)); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$1" 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for ((i = 0; i < 100; i++)); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
}
