# Sourced by tests/windows/run.sh and bench/windows_wine.sh, already in a
# private mount namespace: gives the run's Wine a tmpfs of its own, leaving
# /tmp itself as it is (a clone, and its build folder, may live there).
#   wine_tmpfs SIZE     mounts the tmpfs on a new folder, WINE_TMPFS, which
#                       holds the prefix (WINEPREFIX) and the run's temporary
#                       files (TMPDIR: Debian's Wine makes its server's
#                       folder there, wine-XXXXXX, rather than in /tmp);
#   wine_tmpfs_cleanup  at the end of the run (its EXIT trap): stops the
#                       prefix's Wine server, unmounts the tmpfs and removes
#                       the empty folder it was mounted on;
#   wine_standins BUILD-WIN ROOT COMMAND...
#                       once the prefix is made: the stand-ins of the Windows
#                       commands (BUILD-WIN/tests/standin.exe) in the prefix's
#                       system folder, where the programs call them by their
#                       full path, each named for its COMMAND and preferred to
#                       Wine's own (WINEDLLOVERRIDES); the listings they print
#                       (ROOT/tests/fixtures/windows) and their trace in
#                       c:\korvane-standins (KORVANE_STANDINS).

wine_tmpfs_cleanup() {
  [ -n "${WINE_TMPFS:-}" ] || return 0
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  # Detached at once even while a straggler still holds it: the memory goes
  # with the last one, the mount point now.
  if umount --lazy "$WINE_TMPFS" 2>/dev/null; then rmdir "$WINE_TMPFS" 2>/dev/null || true; fi
  WINE_TMPFS=
}

wine_tmpfs() {  # size
  WINE_TMPFS=$(mktemp -d /tmp/korvane-wine.XXXXXX)
  mount -t tmpfs -o "size=$1,mode=0755" korvane-wine "$WINE_TMPFS"
  mkdir -m 1777 "$WINE_TMPFS/tmp"
  export WINE_TMPFS WINEPREFIX=$WINE_TMPFS/wine TMPDIR=$WINE_TMPFS/tmp
}

wine_standins() {  # build-win, root, command...
  local build=$1 root=$2 command overrides=
  shift 2
  local drive_c=$WINEPREFIX/drive_c
  mkdir -p "$drive_c/korvane-standins"
  cp "$root"/tests/fixtures/windows/*.txt "$drive_c/korvane-standins/"
  for command in "$@"; do
    cp "$build/tests/standin.exe" "$drive_c/windows/system32/$command.exe"
    overrides+=${overrides:+,}$command.exe
  done
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}$overrides=n"
  export KORVANE_STANDINS='c:\korvane-standins'
}
