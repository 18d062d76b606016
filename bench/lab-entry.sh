# Sourced by the benchmarks, after `root` is set. Outside the lab, installs
# what the project needs, builds the given targets in $build and runs the
# calling script again with the same arguments inside a private network
# namespace; inside, makes sure nothing can leave it.
#   bench_in_lab NAME TARGET... -- ARGUMENTS...
# NAME prefixes the messages. Sets and exports `build` (KORVANE_BUILD, else build/).
. "$root/scripts/netns-guard.sh"
build=${KORVANE_BUILD:-$root/build}
export KORVANE_BUILD=$build

bench_in_lab() {
  local name=$1 targets=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do targets+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  if [ "${KORVANE_BENCH_IN_LAB:-}" != 1 ]; then
    bash "$root/scripts/bootstrap.sh"
    cmake -S "$root" -B "$build" -G Ninja >/dev/null
    cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
    KORVANE_BENCH_IN_LAB=1 exec unshare --net -- bash "$0" "$@"
  fi
  in_private_netns || { echo "$name : espace de noms réseau non privé, arrêt." >&2; exit 1; }
}
