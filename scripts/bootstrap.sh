#!/usr/bin/env bash
# Installs, only when missing, every Debian package the project needs to build,
# test and run its demo. Run as root on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev libgtest-dev libgmock-dev
  iproute2 iputils-ping procps util-linux libcap2-bin
  xvfb xauth fonts-dejavu-core
  clang-14 libclang-rt-14-dev libfuzzer-14-dev
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
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
