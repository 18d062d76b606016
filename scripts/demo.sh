#!/usr/bin/env bash
# Builds the programs and shows them at work in the simulated LAN: the admin
# machine's settings as the ipconfig stand-in prints them, and the gateway's
# answer to an echo request. Runs as root; nothing leaves the lab.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/netns-guard.sh"

if [ "${1:-}" != --in-lab ]; then
  bash "$root/scripts/bootstrap.sh"
  cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
  cmake --build "$root/build" -j2 >/dev/null
  exec unshare --net -- bash "$0" --in-lab
fi
in_private_netns || { echo "demo : espace de noms réseau non privé, arrêt." >&2; exit 1; }

bin=$root/build/bin
export KORVANE_LAB=krvdemo
lab=$root/scripts/lab.sh
work=$(mktemp -d)
trap '"$lab" down; rm -rf "$work"' EXIT
"$lab" up
export KORVANE_SCRATCH=$work/scratch

echo "== netcmd ipconfig /all (machine d'administration du laboratoire) =="
"$lab" exec "$bin/netcmd" ipconfig /all

echo
echo "== Sonde ICMP de la passerelle =="
gateway=198.18.0.1
printf '%s\r\n' "$gateway" >"$work/passerelle"
"$lab" exec "$bin/hostping" "$work/passerelle" "$work/etats"
if grep -q "^$gateway=1" "$work/etats"; then
  echo "La passerelle $gateway répond."
else
  echo "La passerelle $gateway ne répond pas."
fi
