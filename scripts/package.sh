#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: lintian (no
# error, no warning but those the package's overrides explain), the desktop
# entry with desktop-file-validate, the AppStream metadata with appstreamcli.
#   scripts/package.sh [BUILD_DIR]     (default: build/, made if missing)
# Or the Windows installer (NSIS), from the cross build:
#   scripts/package.sh --windows [BUILD_DIR]   (default: build-win/, made if missing)
# Prints the package's (or the installer's) path on its last line.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${1:-}" = --windows ]; then
  build=$(realpath -m "${2:-$root/build-win}")
  bash "$root/scripts/bootstrap.sh" --windows
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DKORVANE_WERROR=ON \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  fi
  cmake "$build" >/dev/null  # finds makensis if it came after the first configuration
  cmake --build "$build" -j2 --target installateur >&2
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  installer=$build/installateur/korvane-$version-installation.exe
  [ -f "$installer" ] || { echo "paquet : $installer absent" >&2; exit 1; }
  echo "$installer"
  exit 0
fi
build=$(realpath -m "${1:-$root/build}")
bash "$root/scripts/bootstrap.sh"
if [ ! -f "$build/CPackConfig.cmake" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DKORVANE_WERROR=ON >/dev/null
fi
cmake --build "$build" -j2 >/dev/null

rm -rf "$build/paquet"
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
debs=("$build"/paquet/korvane_*_amd64.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { echo "paquet : aucun paquet korvane_*_amd64.deb produit" >&2; exit 1; }
deb=${debs[0]}

# lintian would rather not run as root; it reads the package only.
lintian_user=()
if [ "$(id -u)" = 0 ]; then
  chmod o+rx "$build/paquet"; chmod o+r "$deb"
  lintian_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --reset-env --)
fi
report=$("${lintian_user[@]}" lintian --fail-on error,warning "$deb" 2>&1) || {
  echo "$report" >&2
  echo "paquet : lintian refuse $deb" >&2
  exit 1
}
[ -z "$report" ] || echo "$report"

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
desktop-file-validate "$contents/usr/share/applications/korvane.desktop"
appstreamcli validate --no-net --explain "$contents"/usr/share/metainfo/*.metainfo.xml >/dev/null || {
  appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml >&2 || true
  exit 1
}
echo "paquet : lintian, desktop-file-validate et appstreamcli validate sans reproche"
echo "$deb"
