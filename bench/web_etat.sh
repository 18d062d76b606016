#!/usr/bin/env bash
# The access from the network under load, in the lab: a real "korvane
# --planificateur" with 32 entries (PC-01 … PC-32, one in two asleep) serves
# GET /api/etat to wrk (-t2 -c50, an administrator's token in the header),
# side by side with Debian's nginx serving the same bytes from a file on the
# same admin machine (its own prefix and configuration in a temporary
# folder, Korvane's certificate), over HTTPS (Linux) and over HTTP
# (Windows's way). While the load runs: the poll's start times (a wrapper
# of hostping in the program folder notes each run on the poll list,
# localIP), which must keep their 10 s period, and the server's threads
# (/proc/PID/task). Then the page: the bytes of its resources, and its first
# paint in headless Chromium on PC-01 across the lab's link (fresh profile
# each load). Then the planner's memory (RSS) idle with the access on and
# off. Runs as root; brings up its own lab in a private network namespace.
#   bench/web_etat.sh [SECONDS]      wrk's duration per run (default 10)
# KORVANE_BUILD is the build folder to take the programs from (default build/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/bench/lab-entry.sh"
seconds=${1:-10}
[[ $seconds =~ ^[1-9][0-9]?$ ]] || { echo "bench web : durée invalide : $seconds" >&2; exit 2; }
bench_in_lab "bench web" korvane hostping wolcmd netcmd labhost -- "$seconds"

export KORVANE_LAB=krvweb KORVANE_LABHOST=$build/tests/labhost
lab=$root/scripts/lab.sh
work=$(mktemp -d)
prog=$work/prog
export KORVANE_LAB_HOSTS=$work/lab-hosts-32.txt
started=()  # the pid files of what this script started in the lab
cleanup() {
  for file in "${started[@]}"; do
    [ -s "$file" ] && kill "$(cat "$file")" 2>/dev/null || true
  done
  sleep 0.5
  "$lab" down
  rm -rf "$work"
}
trap cleanup EXIT

for i in $(seq 1 32); do
  printf 'h%d  198.18.0.%d  02:4b:52:00:01:%02d  PC-%02d  MAISON  pc-%02d.maison.lan\n' \
    "$i" $((100 + i)) "$i" "$i" "$i"
done >"$KORVANE_LAB_HOSTS"
"$lab" up
for i in $(seq 2 2 32); do "$lab" sleep "h$i"; done

mkdir -p "$prog"
for program in korvane wolcmd netcmd; do cp "$build/bin/$program" "$prog/"; done
cp "$build/bin/hostping" "$prog/hostping.bin"
# The poll's trace: when each run on the poll list started (µs).
cat >"$prog/hostping" <<EOF
#!/bin/bash
case "\$1" in *localIP*) echo "\${EPOCHREALTIME//[!0-9]/}" >>"$work/polls" ;; esac
exec "$prog/hostping.bin" "\$@"
EOF
chmod 755 "$prog/hostping"
crlf() { sed 's/$/\r/'; }
awk '{ print tolower($4) }' "$KORVANE_LAB_HOSTS" | crlf >"$prog/localGM"
awk '{ print tolower($4), $2 }' "$KORVANE_LAB_HOSTS" | crlf >"$prog/liste.ip"
awk '{ m = toupper($3); gsub(":", "-", m); print tolower($4), m }' "$KORVANE_LAB_HOSTS" |
  crlf >"$prog/liste.mac"
while read -r _ address _ name _; do printf '%s\r\n' "$address" >"$prog/${name,,}"; done \
  <"$KORVANE_LAB_HOSTS"

planner_pid=$work/planner.pid
start_planner() {  # tls: auto | non | off (access off)
  local token
  if [ "$1" = off ]; then
    printf 'actif=non\r\nport=8765\r\n' >"$prog/acces-web.ini"
  else
    token=$(/usr/bin/python3 "$root/tests/lab/web_access.py" "$prog" "banc-d-essai" \
      "tls=$1" admin: | awk '{ print $2 }')
    printf 'wrk.headers["Authorization"] = "Bearer %s"\n' "$token" >"$work/token.lua"
    printf 'Authorization: Bearer %s' "$token" >"$work/token.header"
  fi
  : >"$work/polls"
  started+=("$planner_pid")
  "$lab" exec setsid bash -c 'echo $$ >"$1"; cd "$2" && exec env -u DISPLAY -u WAYLAND_DISPLAY \
    -u QT_QPA_PLATFORM KORVANE_SCRATCH="$2/travail" ./korvane --planificateur 2>>"$3"' \
    planner "$planner_pid" "$prog" "$work/journal" &
  sleep 1
  [ "$1" = off ] && return
  local scheme=https
  [ "$1" = non ] && scheme=http
  url=$scheme://198.18.0.2:8765
  for _ in $(seq 100); do
    "$lab" exec curl -sk -o /dev/null -H @"$work/token.header" "$url/api/etat" && return
    sleep 0.2
  done
  echo "bench web : la page n'est pas servie" >&2
  cat "$work/journal" >&2
  exit 1
}
stop_planner() {
  local pid
  pid=$(cat "$planner_pid")
  kill "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  : >"$planner_pid"
}
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$(cat "$planner_pid")/status"; }

nginx_pid=$work/nginx/nginx.pid
start_nginx() {  # tls: auto | non
  # Its workers run as nobody: they read the file through folders open to them.
  mkdir -p "$work/nginx/logs" "$work/nginx/www"
  chmod 711 "$work" "$work/nginx"
  chmod 755 "$work/nginx/www"
  install -m 644 "$work/etat.json" "$work/nginx/www/etat.json"
  local listen="198.18.0.2:8766"
  [ "$1" = auto ] && listen="$listen ssl"
  cat >"$work/nginx/nginx.conf" <<EOF
daemon off;
worker_processes 2;
pid $nginx_pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen $listen;
    ssl_certificate $prog/acces-web.crt;
    ssl_certificate_key $prog/acces-web.key;
    location = /api/etat { default_type application/json; alias $work/nginx/www/etat.json; }
  }
}
EOF
  started+=("$nginx_pid")
  "$lab" exec nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/logs/error.log" &
  for _ in $(seq 50); do [ -s "$nginx_pid" ] && break; sleep 0.1; done
  sleep 0.3
}
stop_nginx() {
  kill -QUIT "$(cat "$nginx_pid")"
  for _ in $(seq 50); do [ -e "$nginx_pid" ] || break; sleep 0.1; done
}

declare -A rate p99 threads
# wrk's requests/s and 99th percentile (ms) for one target.
load() {  # label url
  local out=$work/wrk-$1
  "$lab" exec wrk -t2 -c50 -d"${seconds}s" --latency -s "$work/token.lua" "$2/api/etat" >"$out"
  rate[$1]=$(awk '/^Requests\/sec:/ { printf "%.0f", $2 }' "$out")
  p99[$1]=$(awk '$1 == "99%" { v = $2; u = v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v)
    printf "%.2f", u == "us" ? v / 1000 : u == "s" ? v * 1000 : v }' "$out")
  echo "$1 : ${rate[$1]} requêtes/s, p99 ${p99[$1]} ms" >&2
  grep -q 'Non-2xx' "$out" && { echo "bench web : réponses en erreur ($1)" >&2; cat "$out" >&2; exit 1; }
  return 0
}
# The poll's periods (ms) from the planner's start to a poll after the
# load, and how many polls started while the load ran (between $2 and $3, µs).
declare -A periods
poll_periods() {  # label load-start load-end
  periods[$1]=$(awk -v from="$2" -v to="$3" '
    NR > 1 { printf "%s%.0f", (NR > 2 ? ", " : ""), ($1 - p) / 1000 }
    { p = $1; if ($1 >= from && $1 <= to) during++ }
    END { printf " ms (%d relevés pendant la charge)", during }' "$work/polls")
}

loadavg() { cut -d' ' -f1-3 /proc/loadavg; }
load_before=$(loadavg)
for tls in auto non; do
  label=$([ $tls = auto ] && echo https || echo http)
  start_planner "$tls"
  "$lab" exec curl -sk -H @"$work/token.header" "$url/api/etat" >"$work/etat.json"
  sleep 25  # a few polls first, and the page's bytes settled
  "$lab" exec curl -sk -H @"$work/token.header" "$url/api/etat" >"$work/etat.json"
  bytes=$(wc -c <"$work/etat.json")
  ( sleep $((seconds / 2)); ls "/proc/$(cat "$planner_pid")/task" | wc -l >"$work/threads" ) &
  from=${EPOCHREALTIME//[!0-9]/}
  load "korvane-$label" "$url"
  to=${EPOCHREALTIME//[!0-9]/}
  wait $!
  threads[$label]=$(cat "$work/threads")
  sleep 11  # one more poll after the load
  poll_periods "$label" "$from" "$to"
  start_nginx "$tls"
  load "nginx-$label" "${url%:8765}:8766"
  stop_nginx
  if [ "$tls" = auto ]; then
    # The page: its resources' bytes, and its first paint across the lab's link.
    page_bytes=0
    for resource in / /style.css /app.js /api/textes; do
      n=$("$lab" exec curl -sk -o /dev/null -w '%{size_download}' "$url$resource")
      page_bytes=$((page_bytes + n))
    done
    paint=$(HOME=$work ip netns exec "$KORVANE_LAB-h1" /usr/bin/python3 "$root/bench/web_paint.py" "$url/" 5)
  fi
  stop_planner
done
load_after=$(loadavg)

start_planner off
sleep 25
rss_off=$(rss_kb)
stop_planner
start_planner auto
sleep 25
rss_on=$(rss_kb)
stop_planner

echo
echo "GET /api/etat, 32 entrées ($bytes octets en HTTP), wrk -t2 -c50 -d${seconds}s, jeton d'administrateur"
echo "charge de la machine (1, 5, 15 min) : avant $load_before, après $load_after"
echo "  serveur            requêtes/s    p99 (ms)"
for label in korvane-https nginx-https korvane-http nginx-http; do
  printf '  %-18s %10s %11s\n' "$label" "${rate[$label]}" "${p99[$label]}"
done
echo "fils du serveur sous la charge : https ${threads[https]}, http ${threads[http]} (tout le processus)"
echo "périodes du relevé, https : ${periods[https]}"
echo "                     http : ${periods[http]}"
echo "page : $page_bytes octets (/, /style.css, /app.js, /api/textes) ; premier rendu (ms) : $paint"
echo "mémoire du planificateur au repos : accès coupé $rss_off Ko, servi $rss_on Ko (+$((rss_on - rss_off)) Ko)"

verdict() { if "$@"; then echo "atteint"; else echo "MANQUÉ"; fi; }
half() { awk -v k="$1" -v n="$2" 'BEGIN { exit !(k >= n / 2) }'; }
under() { awk -v v="$1" -v m="$2" 'BEGIN { exit !(v < m) }'; }
echo
echo "https ≥ la moitié de nginx : $(verdict half "${rate[korvane-https]}" "${rate[nginx-https]}")"
echo "http ≥ la moitié de nginx : $(verdict half "${rate[korvane-http]}" "${rate[nginx-http]}")"
echo "p99 < 10 ms : $(verdict under "$(printf '%s\n' "${p99[korvane-https]}" "${p99[korvane-http]}" | sort -g | tail -1)" 10)"
echo "page < 60 Ko : $(verdict test "$page_bytes" -lt 61440)"
echo "premier rendu < 300 ms : $(verdict under "$(awk '{ print $NF }' <<<"$paint")" 300)"
echo "mémoire servie < +8 Mo : $(verdict test $((rss_on - rss_off)) -lt 8192)"
