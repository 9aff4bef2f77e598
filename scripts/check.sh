#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds the Windows and the
# POSIX installer, checks the seam, the formatting and .clang-tidy's checks
# (scripts/lint.sh), and runs every test: under the sanitizers, the fuzzers
# for a bounded time, then everything again in the delivered build, the
# Windows installers' tests under Wine. Its last lines say which Windows
# builds ran under Wine, and which were skipped and why.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
# Wine runs the 32-bit installer with its 32-bit part, where the kernel
# runs 32-bit programs; the 64-bit installer runs under 64-bit Wine anywhere.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  [[ $(id -u) == 0 ]] && dpkg --add-architecture i386 ||
    sudo dpkg --add-architecture i386
fi
ensure_packages cmake ninja-build g++ clang clang-format clang-tidy libclang-rt-14-dev \
  libgtest-dev strace \
  python3 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 \
  wine32:i386 fonts-wine xvfb xdotool imagemagick icoutils locales-all \
  libssl-dev openssl osslsigncode softhsm2 libengine-pkcs11-openssl unicode-data

echo "== Windows builds"
for arch in win32 win64; do
  cmake --preset $arch >/dev/null
  cmake --build --preset $arch
done

echo "== Unit and POSIX end-to-end tests under ASan and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

echo "== Fuzzing"
bash scripts/fuzz.sh 20

echo "== POSIX build, and every test"
cmake --preset posix -DSKINSETUP_WIN32_DIR="$PWD/build/win32" \
  -DSKINSETUP_WIN64_DIR="$PWD/build/win64" >/dev/null
cmake --build --preset posix
bash scripts/lint.sh
ctest --preset posix

if why=$(python3 tests/power_cut_test.py --probe); then
  echo "== Power cuts: tested on a loop-mounted ext4 image"
else
  echo "== Power cuts: SKIPPED: $why"
fi
echo "== Windows builds run under Wine"
echo "build/win64/setup.exe: tested under 64-bit Wine"
if why=$(python3 tests/wine/e2e_wine_test.py --probe); then
  echo "build/win32/setup.exe: tested under 32-bit Wine"
else
  echo "build/win32/setup.exe: SKIPPED under Wine: $why"
fi
