#!/usr/bin/env bash
# The fuzz targets (libFuzzer, clang, with AddressSanitizer and UBSan) of the
# readers of what files and the network bring in: the ipconfig listing, the
# text lists, krv.ini and its look-ups, NetBIOS answers, ICMP replies, the
# web API's routing and JSON bodies. Built
# in build-fuzz/.
#   scripts/fuzz.sh                  each target runs once over its corpus
#                                    (fuzz/corpus/NAME/): a regression run of seconds
#   scripts/fuzz.sh SECONDS [NAME..] fuzzes each target (or the NAMEs) for SECONDS;
#                                    inputs it finds go to build-fuzz/corpus/NAME,
#                                    crashes to build-fuzz/crashes/ (add them to
#                                    fuzz/corpus/NAME once fixed)
#   scripts/fuzz.sh --build-only     builds the targets, runs none
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz
build_only=
if [ "${1:-}" = --build-only ]; then
  build_only=1
  shift
fi
seconds=${1:-}
[ $# -gt 0 ] && shift
[ -z "$seconds" ] || [[ $seconds =~ ^[1-9][0-9]*$ ]] ||
  { echo "fuzz : durée invalide : $seconds" >&2; exit 2; }
names=("$@")
((${#names[@]})) || names=(ipconfig text_lists settings nbns icmp devices web)

bash "$root/scripts/bootstrap.sh"
compiler=$(command -v clang++-14 || command -v clang++ || true)
[ -n "$compiler" ] || { echo "fuzz : clang++ introuvable (scripts/bootstrap.sh)" >&2; exit 1; }
# One build of build-fuzz/ at a time (.ci/run makes it ahead, in the
# background, while scripts/test.sh may come to it).
mkdir -p "$build"
exec 9>"$build/.compilation"
flock 9
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" \
  -DKORVANE_FUZZ=ON -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target fuzzers >/dev/null
exec 9>&-
[ -z "$build_only" ] || exit 0

failed=0
for name in "${names[@]}"; do
  target=$build/fuzz/fuzz_$name corpus=$root/fuzz/corpus/$name
  [ -x "$target" ] && [ -d "$corpus" ] || { echo "fuzz : cible inconnue : $name" >&2; exit 2; }
  log=$build/fuzz_$name.log
  if [ -z "$seconds" ]; then
    # Files given one by one are only run, never added to.
    if "$target" "$corpus"/* >"$log" 2>&1; then
      echo "fuzz $name : $(find "$corpus" -type f | wc -l) entrées du corpus, aucune erreur"
    else
      echo "fuzz $name : ÉCHEC (voir $log)" >&2; tail -n 30 "$log" >&2; failed=1
    fi
    continue
  fi
  mkdir -p "$build/corpus/$name" "$build/crashes"
  if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$build/crashes/$name-" "$build/corpus/$name" "$corpus" >"$log" 2>&1; then
    echo "fuzz $name : $(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$') exécutions en $seconds s," \
      "$(grep -Eo 'cov: [0-9]+' "$log" | tail -n 1), corpus $(find "$build/corpus/$name" -type f | wc -l) entrées, aucune erreur"
  else
    echo "fuzz $name : ÉCHEC, entrée gardée dans $build/crashes/ (voir $log)" >&2
    tail -n 30 "$log" >&2; failed=1
  fi
done
exit "$failed"
