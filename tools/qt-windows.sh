#!/usr/bin/env bash
# Builds the Qt that zindra.exe links against: Debian's own qtbase source (the
# same version as the host's qt6-base-dev, whose moc, uic and rcc serve the
# cross build), cross-compiled with mingw-w64 for just what Zindra needs, and
# installed into a cache folder outside the repository:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/zindra/qt-<version>-win64-<options>/
# A finished cache is reused; an unfinished one is never mistaken for it (the
# install goes to a temporary folder that is renamed only when complete).
#   tools/qt-windows.sh     prints the Qt folder (progress goes to standard error)
# ZINDRA_QT_WIN_JOBS sets the build's parallel jobs (default: ZINDRA_JOBS or 2).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh

die() {
  echo "qt-windows: $*" >&2
  exit 1
}

ensure_packages qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix cmake ninja-build dpkg-dev >&2
for tool in x86_64-w64-mingw32-g++-posix cmake ninja dpkg-source apt-get; do
  command -v "$tool" >/dev/null || die "missing tool: $tool"
done

qt_deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) ||
  die "missing qt6-base-dev (the host tools of the cross build)"
qt_version=${qt_deb_version%%+*}
qt_version=${qt_version%%-*}

# What Zindra uses and nothing else.  Tablet events are off since Debian's
# source drops the wintab headers; OpenGL stays on (the dynamic kind, loaded
# at run time) since the Windows platform plugin needs it to compile; with
# Direct2D off, the DirectWrite font database must be off too, or the Windows
# platform plugin refers to a class that Qt Gui then leaves out (the plugin
# uses the GDI font database by default either way).
QT_OPTIONS=(
  -DBUILD_SHARED_LIBS=ON
  -DCMAKE_BUILD_TYPE=Release
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF
  -DQT_GENERATE_SBOM=OFF
  -DFEATURE_tabletevent=OFF
  -DINPUT_opengl=dynamic
  -DFEATURE_dbus=OFF
  -DFEATURE_network=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_direct2d=OFF
  -DFEATURE_directwrite3=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_doubleconversion=OFF
)
options_hash=$(printf '%s\n' "${QT_OPTIONS[@]}" | sha1sum | cut -c1-8)

CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/zindra"
NAME="qt-$qt_version-win64-shared-$options_hash"
PREFIX="$CACHE/$NAME"
if [ -f "$PREFIX/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "$PREFIX"
  exit 0
fi

WORK="$CACHE/work-$NAME"
mkdir -p "$WORK" || die "cannot create $WORK"

# One build at a time: a second run waits for the first and then reuses it.
command -v flock >/dev/null || die "missing tool: flock"
exec 9>"$WORK/lock"
if ! flock -n 9; then
  echo >&2 "waiting for the Qt build that is already running (log: $WORK/build.log)"
  flock 9
fi
if [ -f "$PREFIX/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "$PREFIX"
  exit 0
fi

# --- the source, through apt with a private sources list and state folder ---

fetch_source() {
  local apt_dir="$WORK/apt"
  rm -rf "$apt_dir"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/etc/preferences.d" \
    "$apt_dir/etc/sources.list.d" "$WORK/download"
  # The Debian mirror and suite the machine already uses.
  local uri suite
  uri=$( (grep -hE '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null || true) | awk '{print $2}' |
    grep -v security | head -n 1)
  suite=$( (grep -hE '^Suites:' /etc/apt/sources.list.d/*.sources 2>/dev/null || true) | awk '{print $2}' |
    grep -v -e security -e updates | head -n 1)
  if [ -z "$uri" ]; then
    read -r uri suite < <( (grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true) |
      grep -v security | awk '{ for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) { print $i, $(i+1); exit } }')
  fi
  [ -n "$uri" ] && [ -n "$suite" ] || die "no Debian mirror found in /etc/apt"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" \
    >"$apt_dir/etc/sources.list"
  local apt=(apt-get -q -o "Dir::Etc::SourceList=$apt_dir/etc/sources.list"
    -o "Dir::Etc::SourceParts=$apt_dir/etc/sources.list.d"
    -o "Dir::Etc::PreferencesParts=$apt_dir/etc/preferences.d"
    -o "Dir::State=$apt_dir" -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root")
  echo >&2 "fetching the source of qt6-base $qt_deb_version from $uri ($suite)"
  "${apt[@]}" update >"$WORK/apt-update.log" 2>&1 ||
    die "cannot reach $uri for the qt6-base source (see $WORK/apt-update.log)"
  (cd "$WORK/download" && "${apt[@]}" source --download-only "qt6-base=$qt_deb_version") \
    >"$WORK/apt-source.log" 2>&1 ||
    die "cannot download the source of qt6-base $qt_deb_version (see $WORK/apt-source.log)"
  local dsc
  dsc=$(ls "$WORK/download"/qt6-base_*.dsc | head -n 1)
  rm -rf "$WORK/src.tmp"
  dpkg-source -x "$dsc" "$WORK/src.tmp" >"$WORK/dpkg-source.log" 2>&1 ||
    die "cannot unpack $dsc (see $WORK/dpkg-source.log)"
  mv "$WORK/src.tmp" "$WORK/src"
}

[ -f "$WORK/src/CMakeLists.txt" ] || fetch_source

# --- configure, build, install -----------------------------------------------

BUILD="$WORK/build"
# Installed under DESTDIR, so that the paths Qt records are the final ones.
STAGE="$CACHE/$NAME.partial"
rm -rf "$STAGE"
log="$WORK/build.log"
echo >&2 "configuring Qt $qt_version for Windows (log: $log)"
start=$(date +%s)
cmake -S "$WORK/src" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ZINDRA_ROOT/cmake/mingw-w64.cmake" \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
  "${QT_OPTIONS[@]}" >"$log" 2>&1 || die "configuring Qt failed (see $log)"
echo >&2 "building Qt $qt_version for Windows: about 1,100 steps (log: $log)"
cmake --build "$BUILD" -j "${ZINDRA_QT_WIN_JOBS:-$JOBS}" >>"$log" 2>&1 || die "building Qt failed (see $log)"
DESTDIR="$STAGE" cmake --install "$BUILD" >>"$log" 2>&1 || die "installing Qt failed (see $log)"
[ -f "$STAGE$PREFIX/lib/cmake/Qt6/Qt6Config.cmake" ] || die "the Qt install in $STAGE is incomplete (see $log)"
rm -rf "$PREFIX"
mv "$STAGE$PREFIX" "$PREFIX"
rm -rf "$STAGE"
echo >&2 "Qt $qt_version for Windows built in $(($(date +%s) - start)) s"
rm -rf "$WORK"  # the source and the build tree; the install is all that is used
echo "$PREFIX"
