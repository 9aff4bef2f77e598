#!/bin/sh
# Draws the overwrite question as a user sees it, for the README: setup.exe
# of a Windows build under Wine, in a small Italian desktop on a private X
# display. Needs Wine, Xvfb, xdotool and ImageMagick (scripts/check.sh
# installs them).
#
# Usage: scripts/screenshot.sh [BUILD_DIR] [PICTURE]
#        (defaults: build/win64, docs/overwrite-question.png)
set -eu
build=$(realpath "${1:-build/win64}")
picture=$(realpath -m "${2:-docs/overwrite-question.png}")
work=$(mktemp -d)
wine=${WINE:-wine}
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=it_IT.UTF-8 \
  WINEDLLOVERRIDES="mscoree,mshtml="
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb; rm -rf "$work"' EXIT
while [ ! -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
"$wine" wineboot -i >/dev/null 2>&1

# A client with Blue installed, and a package of Blue to install again.
mkdir -p "$work/pkg" "$work/client/Skins/Blue"
cp "$build/setup.exe" "$work/pkg/"
printf 'SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n' \
  >"$work/pkg/cliver.map"
key='HKCU\SOFTWARE\QV CLIENT'
"$wine" reg add "$key" /v "Install Directory" /d "Z:$work/client" /f \
  >/dev/null 2>&1
"$wine" reg add "$key\\NEWREVISION" /v SKIN-COMPATIBILITY /t REG_DWORD /d 5 \
  /f >/dev/null 2>&1

cd "$work/pkg"
"$wine" explorer /desktop=Quintavo,480x200 'setup.exe' Blue >/dev/null 2>&1 &
xdotool search --sync --onlyvisible --name "Quintavo Skins Installer" \
  >/dev/null
sleep 1
desktop=$(xdotool search --onlyvisible --name "Wine desktop" | head -n 1)
import -window "$desktop" "$picture"
echo "$picture"
