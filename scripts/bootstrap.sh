#!/usr/bin/env bash
# Installs, only when missing, every Debian package the project needs to build,
# test and run its demo. Run as root on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev libgtest-dev libgmock-dev
  iproute2 iputils-ping procps util-linux
  xvfb xauth fonts-dejavu-core
  # The lab's NetBIOS names and its router's DNS; netsweep's benchmark.
  samba dnsmasq-base fping nmap
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap : paquets manquants (${missing[*]}) ; relancez en root." >&2
    exit 1
  fi
  echo "bootstrap : installation de ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Samba's package would start its servers on this machine's own network:
  # no service starts during the installation (the lab runs its own nmbd).
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    trap 'rm -f "$policy"' EXIT
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # ... nor at the next boot.
  if [[ " ${missing[*]} " == *" samba "* ]] && command -v systemctl >/dev/null; then
    systemctl disable --quiet smbd nmbd samba-ad-dc 2>/dev/null || true
  fi
fi
