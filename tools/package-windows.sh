#!/usr/bin/env bash
# The download for technicians: dist/zindra-<version>-win64.zip, a folder to
# unzip anywhere and run (zindra.exe, zindra-cli.exe, the DLLs and plugins
# they load, the German Qt texts and LIESMICH.txt).
#   tools/package-windows.sh [--no-build] [--check] [--screenshot PNG]
#     (./run.sh --package-windows calls it without options)
#   --no-build         package what build-win/ already holds
#   --check            unzip into an empty Wine prefix on a virtual X screen,
#                      start zindra.exe, replay samples/ugm.TRC through the
#                      menu and the file dialog as a user does, save the trace
#                      and compare the event pane with the Linux replay
#   --screenshot PNG   with --check: the window after the replay, as drawn
#                      by Wine with Qt's Windows platform plugin
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
source tools/windows-build.sh

build=yes
check=no
screenshot=""
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=no ;;
    --check) check=yes ;;
    --screenshot) screenshot="$(realpath -m "$2")"; shift ;;
    *) echo "usage: $0 [--no-build] [--check] [--screenshot PNG]" >&2; exit 2 ;;
  esac
  shift
done

die() {
  echo "package-windows: $*" >&2
  exit 1
}

ensure_packages zip unzip qt6-translations-l10n binutils-mingw-w64-x86-64
if [ "$build" = yes ]; then WINDOWS_WINDOW=yes build_windows zindra zindra-cli zindra_windows_runtime; fi

version=$(sed -nE 's/^project\(Zindra VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
name="zindra-$version-win64"
zip="$ZINDRA_ROOT/dist/$name.zip"
bin="$BUILD/bin"
# What the programs load, from build-win/bin (cmake/windows-runtime.cmake).
files=(zindra.exe zindra-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll libgcc_s_seh-1.dll
  libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll translations/qtbase_de.qm)
for f in "${files[@]}"; do
  [ -f "$bin/$f" ] || die "missing $bin/$f (build first: tools/windows.sh or without --no-build)"
done

# --- the zip, written beside and renamed when complete -----------------------

mkdir -p "$BUILD"
stage=$(mktemp -d "$BUILD/_package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
dir="$stage/$name"
mkdir -p "$dir/platforms" "$dir/styles" "$dir/translations"
for f in "${files[@]}"; do
  cp "$bin/$f" "$dir/$f"
done
# Debugging symbols stay in build-win/; the technician's copy needs none.
x86_64-w64-mingw32-strip --strip-debug "$dir"/*.exe "$dir"/*.dll "$dir"/platforms/*.dll "$dir"/styles/*.dll
sed 's/$/\r/' docs/LIESMICH.txt >"$dir/LIESMICH.txt"
mkdir -p "$ZINDRA_ROOT/dist"
(cd "$stage" && zip -q -9 -r -X "$name.zip" "$name")
mv "$stage/$name.zip" "$zip"
echo "wrote dist/$name.zip ($(stat -c %s "$zip") bytes; unpacked $(du -sb "$dir" | cut -f1) bytes)"

[ "$check" = yes ] || exit 0

# --- the check: an empty Wine prefix, a virtual screen, a user's clicks ------

ensure_packages wine wine64 fonts-wine xvfb xdotool imagemagick
[ -x "$HOST/bin/zindra-cli" ] || die "missing $HOST/bin/zindra-cli (the Linux replay to compare with)"
work="$BUILD/_zipcheck"
rm -rf "$work" && mkdir -p "$work"
unzip -q "$zip" -d "$work"
export WINEPREFIX="$work/wine"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installer boxes in the new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

XVFB_PID=""
zpid=""
stop_check() {
  [ -n "$zpid" ] && kill "$zpid" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$stage"
}
trap stop_check EXIT
start_xvfb "$work/xvfb.log"
wineboot -i >"$work/wineboot.log" 2>&1 || die "wineboot failed in $WINEPREFIX (see $work/wineboot.log)"
# Without a window manager, Wine draws the frames and handles the focus.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
cp samples/ugm.TRC "$WINEPREFIX/drive_c/ugm.TRC"

fail() {
  import -window root "$work/failure.png" 2>/dev/null || true
  die "$* (screen: $work/failure.png)"
}

# Waits up to $2 seconds (default 60) for a window whose title matches the
# regular expression $1 and prints its id.
await_window() {
  local id
  id=$(timeout "${2:-60}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
  [ -n "$id" ] || fail "no window \"$1\" came up"
  echo "$id"
}

# Types into window $1: keys ($2...) through xdotool.
keys() {
  local id="$1"
  shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.3
  xdotool "$@"
}

# Opens the dialog titled $3 from the main window $1 through a menu: the
# menu's Alt key, then the item's key ($2, or "-" for none).  Wine sometimes
# loses a key sent while a menu is still opening, so it tries again after
# Escape; prints the dialog's id.
menu_dialog() {
  local main="$1" item="$2" title="$3" id="" try
  for try in 1 2 3; do
    keys "$main" key "${item%% *}"
    sleep 0.7
    [ "${item#* }" = "$item" ] || xdotool key "${item#* }"
    id=$(timeout 8 xdotool search --sync --onlyvisible --name "$title" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && break
    xdotool key Escape Escape
    sleep 0.5
  done
  [ -n "$id" ] || fail "no window \"$title\" came up"
  echo "$id"
}

(cd "$work/$name" && exec wine zindra.exe) >"$work/zindra.log" 2>&1 &
zpid=$!
info=$(await_window "^Info$" 120)
keys "$info" key Return
main=$(await_window "^Trace$")
open=$(menu_dialog "$main" alt+r "ffnen Tracedatei$")
keys "$open" key End shift+Home BackSpace  # Wine's file name box has no Ctrl+A
xdotool type --delay 20 'C:\ugm.TRC'
xdotool key Return
# The replay is over in a moment: its caption "UGM  Trace" goes back to
# "Trace" when it ends, so wait for the dialog to close and the panes to settle.
for ((i = 0; i < 100; i++)); do
  xdotool search --onlyvisible --name "ffnen Tracedatei$" >/dev/null 2>&1 || break
  sleep 0.1
done
sleep 2
if [ -n "$screenshot" ]; then
  import -window "$main" "$screenshot" || fail "cannot take the screenshot"
  echo "wrote $screenshot"
fi
save=$(menu_dialog "$main" "alt+d u" "^Speichern unter$")
keys "$save" key End shift+Home BackSpace  # the proposed Trace.dat
xdotool type --delay 20 'C:\check.dat'
xdotool key Return
for ((i = 0; i < 100; i++)); do [ -s "$WINEPREFIX/drive_c/check.DA1" ] && break; sleep 0.1; done
[ -s "$WINEPREFIX/drive_c/check.DA1" ] || fail "zindra.exe saved no C:\\check.DA1"
for try in 1 2 3; do
  keys "$main" key alt+d
  sleep 0.7
  xdotool key b
  for ((i = 0; i < 50; i++)); do kill -0 "$zpid" 2>/dev/null || break 2; sleep 0.1; done
  xdotool key Escape Escape
done
kill -0 "$zpid" 2>/dev/null && fail "zindra.exe did not end after Datei, Beenden"
zpid=""

"$HOST/bin/zindra-cli" replay samples/ugm.TRC | sed 's/$/\r/' >"$work/replay.DA1"
cmp "$WINEPREFIX/drive_c/check.DA1" "$work/replay.DA1" ||
  die "the event pane of zindra.exe differs from the Linux replay (see $work)"
ini=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Zindra/ZINDRA.INI' | head -n 1)
[ -n "$ini" ] || die "zindra.exe wrote no ZINDRA.INI under %LOCALAPPDATA%\\Zindra"
echo "zip check: zindra.exe in an empty Wine prefix replayed ugm.TRC as Linux does" \
  "($(wc -l <"$work/replay.DA1") event lines; ZINDRA.INI in ${ini#"$WINEPREFIX/drive_c/"})"
