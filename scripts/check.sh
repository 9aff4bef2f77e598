#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds the Windows and the
# POSIX installer, and runs every test: under the sanitizers, the fuzzers
# for a bounded time, then everything again in the delivered build, the
# Windows installer's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
# Wine runs the 32-bit installer with its 32-bit part.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  [[ $(id -u) == 0 ]] && dpkg --add-architecture i386 ||
    sudo dpkg --add-architecture i386
fi
ensure_packages cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev \
  python3 g++-mingw-w64-i686-posix wine wine32:i386 fonts-wine xvfb xdotool \
  imagemagick

echo "== Windows build"
cmake --preset win32 >/dev/null
cmake --build --preset win32
format=$(i686-w64-mingw32-objdump -f build/win32/setup.exe)
grep -q 'file format pei-i386' <<<"$format" ||
  { echo "setup.exe is not a 32-bit Windows program"; exit 1; }
headers=$(i686-w64-mingw32-objdump -p build/win32/setup.exe)
grep -q 'Subsystem.*Windows GUI' <<<"$headers" ||
  { echo "setup.exe is not a GUI program"; exit 1; }
dlls=$(grep 'DLL Name' <<<"$headers" | awk '{print toupper($3)}' | sort | tr '\n' ' ')
[[ $dlls == "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL " ]] ||
  { echo "setup.exe needs more than the system's DLLs: $dlls"; exit 1; }
echo "build/win32/setup.exe: PE32 i386, Windows GUI, needs only $dlls"

echo "== Unit and POSIX end-to-end tests under ASan and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

echo "== Fuzzing"
bash scripts/fuzz.sh 20

echo "== POSIX build, and every test"
cmake --preset posix -DSKINSETUP_WIN32_DIR="$PWD/build/win32" >/dev/null
cmake --build --preset posix
ctest --preset posix
