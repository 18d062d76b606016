#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, and runs
# every test. All tests run in a network namespace of their own holding only
# loopback; the lab tests build their simulated LAN from inside it.
#   scripts/test.sh             normal build in build/: every test, then the
#                               Debian package, checked (scripts/package.sh:
#                               lintian, the desktop entry, the AppStream
#                               metadata) and installed in a throw-away root
#                               (tests/install/package_test.sh), then every
#                               fuzz target once over its corpus
#                               (scripts/fuzz.sh, build-fuzz/, itself built
#                               with the sanitizers)
#   scripts/test.sh --sanitize  AddressSanitizer + UBSan build in build-asan/:
#                               the tests where they find faults (the unit,
#                               app, window and installation tests, and the
#                               lab tests of the programs that read the
#                               network: tests/CMakeLists.txt)
#   scripts/test.sh --windows   the Windows programs and tests, cross-built in
#                               build-win/ and run under Wine (tests/windows/run.sh);
#                               the lab's responder comes from the build in build/
#   --build-only, after any of the three, configures and builds, and tests
#   nothing (.ci/run makes its later builds ahead this way).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kind=native build_only=
for option in "$@"; do
  case $option in
    --sanitize) kind=sanitize ;;
    --windows) kind=windows ;;
    --build-only) build_only=1 ;;
    *) echo "test : option inconnue : $option" >&2; exit 2 ;;
  esac
done

if [ $kind = windows ]; then
  bash "$root/scripts/bootstrap.sh" --windows
  cmake -S "$root" -B "$root/build-win" -G Ninja -DKORVANE_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
  cmake --build "$root/build-win" -j2
  [ -z "$build_only" ] || exit 0
  cmake -S "$root" -B "$root/build" -G Ninja -DKORVANE_WERROR=ON
  cmake --build "$root/build" -j2 --target labhost
  exec bash "$root/tests/windows/run.sh" "$root/build-win" all
fi
bash "$root/scripts/bootstrap.sh"

build=$root/build
options=(-DKORVANE_WERROR=ON)
if [ $kind = sanitize ]; then
  build=$root/build-asan
  options+=(-DKORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

cmake -S "$root" -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" -j2
[ -z "$build_only" ] || exit 0
# Most tests wait (the lab's hosts and timers, the app's scripts) more than
# they compute: four at a time on two cores, the lab's first
# (tests/CMakeLists.txt).
unshare --net -- sh -c 'ip link set lo up && exec ctest --test-dir "$1" --output-on-failure -j4' \
  sh "$build"
if [ $kind = native ]; then
  deb=$(bash "$root/scripts/package.sh" "$build" | tail -n 1)
  bash "$root/tests/install/package_test.sh" "$deb"
  bash "$root/scripts/fuzz.sh"
fi
