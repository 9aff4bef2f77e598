#!/usr/bin/env bash
# Keeps the house in order: the seam between the logic and the systems,
# the formatting, and the checks of .clang-tidy on the POSIX build (whose
# compile commands `cmake --preset posix` writes). Fails on the first kind
# of fault it finds, naming each line.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== The seam: skinsetup/ includes no system header and no backend"
# A standard C++ header has no ".h" and no folder; anything else in angle
# brackets is the system's. From the project, only platform/platform.h.
if grep -nE '^\s*#\s*include\s*(<[^>]*[./][^>]*>|"platform/[^"]*")' \
    skinsetup/*.h skinsetup/*.cc | grep -v '"platform/platform.h"'; then
  echo "skinsetup/ must reach the system through platform/platform.h only" >&2
  exit 1
fi
if grep -nE '^\s*#\s*if.*_WIN32' skinsetup/*.h skinsetup/*.cc; then
  echo "skinsetup/ holds no system's #ifdef" >&2
  exit 1
fi

echo "== The floors: no include in skinsetup/ climbs back up"
# A file and its header are one module; tsort finds any circle, which an
# include back up would close.
for f in skinsetup/*.h skinsetup/*.cc; do
  module=$(basename "${f%.*}")
  grep -oE '#include "skinsetup/[a-z_]+\.h"' "$f" |
    sed -E 's|.*/([a-z_]+)\.h"|\1|' |
    while read -r below; do
      [[ $below == "$module" ]] || echo "$module $below"
    done
done | tsort >/dev/null || {
  echo "an include in skinsetup/ climbs back up, closing the circle above" >&2
  exit 1
}

echo "== Formatting (.clang-format)"
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror

echo "== .clang-tidy on the POSIX build"
if [[ ! -f build/posix/compile_commands.json ]]; then
  cmake --preset posix >/dev/null
fi
ls skinsetup/*.cc platform/posix/*.cc platform/stdio_streams.cc app/*.cc |
  grep -v main_win32 |
  xargs -P "$(nproc)" -n 4 clang-tidy -p build/posix --quiet 2>/dev/null
