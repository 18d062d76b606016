#!/usr/bin/env bash
# Each console program answers --help and --version in French on standard
# output, nothing on standard error, exit status 0, whatever follows them.
#   info_options_test.sh BIN_DIR VERSION
set -euo pipefail
bin=${1:?dossier des programmes manquant}
version=${2:?version manquante}
footer='Options : --help affiche cette aide, --version affiche la version ; toutes deux finissent avec le code 0.'
failures=0
fail() { echo "ÉCHEC : $*" >&2; failures=$((failures + 1)); }
run() {  # program arguments...: sets out, err, status
  local errfile
  errfile=$(mktemp)
  status=0
  out=$("$bin/$1" "${@:2}" 2>"$errfile") || status=$?
  err=$(cat "$errfile")
  rm -f "$errfile"
}
for program in netsweep wolcmd hostping netcmd; do
  for extra in "" noscan; do
    run "$program" --version $extra
    [ "$status" = 0 ] && [ -z "$err" ] || fail "$program --version $extra : code $status, erreur « $err »"
    [ "$out" = "$program (Korvane) $version" ] || fail "$program --version $extra : « $out »"
    run "$program" --help $extra
    [ "$status" = 0 ] && [ -z "$err" ] || fail "$program --help $extra : code $status, erreur « $err »"
    [[ "$(head -n 1 <<<"$out")" == "Utilisation : $program "* ]] ||
      fail "$program --help : première ligne « $(head -n 1 <<<"$out") »"
    [ "$(tail -n 1 <<<"$out")" = "$footer" ] || fail "$program --help : dernière ligne « $(tail -n 1 <<<"$out") »"
    [ "$(wc -l <<<"$out")" -ge 3 ] || fail "$program --help : aide trop courte"
  done
done
[ "$failures" = 0 ] || exit 1
echo "ok : --help et --version de netsweep, wolcmd, hostping, netcmd"
