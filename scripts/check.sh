#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds the POSIX and the
# Windows installer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages cmake ninja-build g++ libgtest-dev python3 \
  g++-mingw-w64-i686-posix

echo "== POSIX build and tests"
cmake --preset posix >/dev/null
cmake --build --preset posix
ctest --preset posix

echo "== Windows build"
cmake --preset win32 >/dev/null
cmake --build --preset win32
file_type=$(i686-w64-mingw32-objdump -f build/win32/setup.exe | grep 'file format')
grep -q 'pei-i386' <<<"$file_type" || { echo "not a PE32 i386: $file_type"; exit 1; }
headers=$(i686-w64-mingw32-objdump -p build/win32/setup.exe)
grep -q 'Subsystem.*Windows GUI' <<<"$headers" ||
  { echo "setup.exe is not a GUI program"; exit 1; }
echo "build/win32/setup.exe: PE32 i386, Windows GUI"
