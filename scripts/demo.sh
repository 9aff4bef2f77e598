#!/usr/bin/env bash
# Installs the demo skin "Blue" into a sandbox client under build/demo, as a
# user would: the installer inside the package folder, started there as
# ./setup Blue. Run it again to see the question before overwriting.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages cmake ninja-build g++ libgtest-dev libssl-dev python3 unicode-data

cmake --preset posix >/dev/null
cmake --build --preset posix --target setup >/dev/null

sandbox=$PWD/build/demo
client=$sandbox/client
package=$sandbox/Blue
mkdir -p "$client"
cat >"$sandbox/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]
"Install Directory"="$client"

[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT\\NEWREVISION]
"SKIN-COMPATIBILITY"=dword:00000005
REG

# The package as it is shipped: the skin's files, its map and the installer.
rm -rf "$package"
cp -a examples/Blue "$package"
cp build/posix/setup "$package/setup"

echo "== Running ./setup Blue in $package"
status=0
(cd "$package" && SKINSETUP_REGISTRY=$sandbox/registry.reg ./setup Blue 2>&1) ||
  status=$?
echo "== Exit status: $status"
echo "== Installed tree:"
(cd "$client" && find . | sort)
