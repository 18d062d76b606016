#!/usr/bin/env bash
# Installs, only when missing, every Debian package the project needs to build,
# test and run its demo. Run as root on Debian 12.
#
# Samba (smbd, nmbd, net) and OpenSSH's server are among them, for the lab's
# simulated hosts and for Korvane's remote shutdown. Installed as they come,
# their daemons would start at once, and at every boot, on the machine's real
# network: they are kept from starting while the packages install (a
# policy-rc.d refusing every start, when the machine has none) and then
# stopped and masked; nginx's too. The lab starts smbd and sshd itself, and the
# web benchmark nginx, only inside their own network namespaces.
#
#   bootstrap.sh --windows   also the cross compiler (mingw-w64, posix
#                            threads), Wine, the French locale Wine runs
#                            in (fr_FR.UTF-8: code pages 1252 and 850) and
#                            what drives a window on Xvfb, for the Windows
#                            build and its tests (scripts/test.sh --windows),
#                            and NSIS for its installer
#                            (scripts/package.sh --windows)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  # The compiler cache of the developer's guide's quick loop (a build folder
  # configured with -DCMAKE_CXX_COMPILER_LAUNCHER=ccache).
  ccache
  qt6-base-dev libgtest-dev libgmock-dev
  # The energy report's bar chart (Qt Charts needs the OpenGL module's CMake files).
  qt6-charts-dev libqt6opengl6-dev
  iproute2 iputils-ping procps util-linux libcap2-bin
  xvfb xauth fonts-dejavu-core
  # The desktop notifications: a D-Bus session bus and a notification server
  # of the test's own.
  dbus dunst
  # The lab's hosts (smbd, nmbd), Korvane's remote shutdown (net), the lab
  # router's DNS; the programs the benchmarks compare against, and GNU time
  # for their memory figures.
  samba samba-common-bin dnsmasq-base fping nmap time
  # The web benchmark (bench/web_etat.sh): wrk's load, and nginx serving the
  # same bytes as the yardstick (started only inside the benchmark's own
  # network namespace, with its own configuration).
  wrk nginx-light
  # Korvane's page in a real browser (tests/lab/web_browser_test.sh): headless
  # Chromium driven through chromedriver by Selenium.
  chromium chromium-driver python3-selenium
  # The SSH shutdown of Linux computers: the client (ssh, ssh-keygen) for
  # Korvane, the server for the lab's hosts.
  openssh-client openssh-server
  # A lab host that takes another address announces it (gratuitous ARP).
  iputils-arping
  # The lab's firewalls, lossy links and sleeping hosts (nft in the hosts'
  # namespaces only; Debian leaves the package's service disabled, and it is
  # never started here).
  nftables
  # The fuzz targets (scripts/fuzz.sh): clang, its sanitizers and libFuzzer.
  clang-14 libclang-rt-14-dev libfuzzer-14-dev
  # The Debian package (scripts/package.sh): CPack's dpkg-shlibdeps and
  # fakeroot, lintian, the desktop entry's and AppStream's validators, the man
  # pages' checker.
  dpkg-dev fakeroot file lintian desktop-file-utils appstream man-db groff-base
  # The access from the network (korvane/web): Boost.Beast and Asio (header
  # only), nlohmann's JSON, libgcrypt's key derivation, OpenSSL for HTTPS.
  libboost1.81-dev nlohmann-json3-dev libgcrypt20-dev libssl-dev
)
if [ "${1:-}" = --windows ]; then
  # Korvane's Win32 window in the tests: Wine's dialog fonts, the window
  # driven on Xvfb (xdotool) and its pictures taken (ImageMagick's import);
  # the French locale Wine runs in; NSIS's makensis builds the installer.
  packages+=(g++-mingw-w64-x86-64-posix wine64 locales fonts-wine xdotool imagemagick nsis)
  # libgcrypt for the Windows build of the access from the network, linked
  # statically (Boost and nlohmann's headers are the Linux packages').
  packages+=(libgcrypt-mingw-w64-dev)
fi
lan_daemons=(smbd nmbd samba-ad-dc ssh nginx)
policy=/usr/sbin/policy-rc.d

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
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\n# Written by Korvane'"'"'s bootstrap while it installs packages.\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    trap 'rm -f "$policy"' EXIT
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  if [[ " ${missing[*]} " == *" "@(samba|openssh-server|nginx-light)" "* ]] && [ -d /run/systemd/system ]; then
    systemctl stop "${lan_daemons[@]/%/.service}" 2>/dev/null || true
    systemctl disable "${lan_daemons[@]/%/.service}" 2>/dev/null || true
    systemctl mask "${lan_daemons[@]/%/.service}" >/dev/null 2>&1 || true
  fi
fi
if [ "${1:-}" = --windows ] && ! locale -a 2>/dev/null | grep -qix 'fr_FR.utf8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap : la locale fr_FR.UTF-8 manque ; relancez en root." >&2
    exit 1
  fi
  echo "bootstrap : création de la locale fr_FR.UTF-8"
  localedef -i fr_FR -f UTF-8 fr_FR.UTF-8
fi
