#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, and runs
# every test. All tests run in a network namespace of their own holding only
# loopback; the lab tests build their simulated LAN from inside it.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UBSan build in build-asan/
#   scripts/test.sh --windows   the Windows programs and tests, cross-built in
#                               build-win/ and run under Wine (tests/windows/run.sh);
#                               the lab's responder comes from the build in build/
# The normal build also makes the Debian package, checks it (scripts/package.sh:
# lintian, the desktop entry, the AppStream metadata) and installs it in a
# throw-away root (tests/install/package_test.sh).
# Then every fuzz target runs once over its corpus (scripts/fuzz.sh, build-fuzz/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${1:-}" = --windows ]; then
  bash "$root/scripts/bootstrap.sh" --windows
  cmake -S "$root" -B "$root/build" -G Ninja -DKORVANE_WERROR=ON
  cmake --build "$root/build" -j2 --target labhost
  cmake -S "$root" -B "$root/build-win" -G Ninja -DKORVANE_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
  cmake --build "$root/build-win" -j2
  exec bash "$root/tests/windows/run.sh" "$root/build-win" all
fi
bash "$root/scripts/bootstrap.sh"

build=$root/build
options=(-DKORVANE_WERROR=ON)
if [ "${1:-}" = --sanitize ]; then
  build=$root/build-asan
  options+=(-DKORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

cmake -S "$root" -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" -j2
unshare --net -- sh -c 'ip link set lo up && exec ctest --test-dir "$1" --output-on-failure -j2' \
  sh "$build"
if [ "${1:-}" != --sanitize ]; then
  deb=$(bash "$root/scripts/package.sh" "$build" | tail -n 1)
  bash "$root/tests/install/package_test.sh" "$deb"
fi
bash "$root/scripts/fuzz.sh"
