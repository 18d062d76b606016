#!/usr/bin/env bash
# Installs the Debian package for real, with dpkg -i, in a throw-away root: an
# overlay of this machine's root whose changes go to a tmpfs, in a mount
# namespace of its own (nothing reaches the machine's files, all goes at the
# end), and in a network namespace of its own, where a veth link leads to one
# computer, pc1 (198.18.0.11), in a second namespace; no route leads out.
# Inside: the files where the package says, the capabilities, two ordinary
# users starting Korvane offscreen (a folder each, the files of a first start,
# a screenshot of the map, the lists netsweep found kept by the next start),
# the console programs' --help and --version, an upgrade found at the next
# start, and dpkg -r, which removes the package and leaves the users' folders
# alone.
#   package_test.sh PACKAGE.deb
# KORVANE_PACKAGE_SHOTS=FOLDER keeps the two pictures of the map there.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
deb=$(realpath "${1:?paquet manquant}")
[ "$(id -u)" = 0 ] || { echo "package_test : il faut être root" >&2; exit 1; }
if [ -z "${KORVANE_THROWAWAY_ROOT:-}" ]; then
  # The mount point is made here, outside the namespaces, to be removed here.
  top=$(mktemp -d)
  status=0
  env KORVANE_THROWAWAY_ROOT="$top" unshare --mount --net --fork -- bash "$0" "$deb" || status=$?
  rmdir "$top"
  exit "$status"
fi

# --- the throw-away root ---
mount --make-rprivate /
[ "$(ip -o link show | grep -vc ': lo:')" = 0 ] || { echo "refus : espace de noms réseau non privé" >&2; exit 1; }
top=$KORVANE_THROWAWAY_ROOT
mount -t tmpfs -o mode=0755 korvane-essai "$top"
mkdir "$top/upper" "$top/work" "$top/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$top/upper,workdir=$top/work" "$top/root"
r=$top/root
mount -t proc proc "$r/proc"
mount --rbind /dev "$r/dev"
mount -t tmpfs -o mode=1777 tmp "$r/tmp"
mount -t tmpfs -o mode=0755 run "$r/run"
in_root() { chroot "$r" "$@"; }
cp "$deb" "$here/info_options_test.sh" "$r/tmp/"
version=$(dpkg-deb -f "$deb" Version)

failures=0
fail() { echo "ÉCHEC : $*" >&2; failures=$((failures + 1)); }
check() {  # description command...
  local what=$1; shift
  if "$@"; then echo "ok : $what"; else fail "$what"; fi
}

# --- the LAN: this namespace is the admin machine, pc1 sits behind a veth ---
unshare --net sleep 600 &
pc1_pid=$!
trap 'kill $pc1_pid 2>/dev/null || true' EXIT
sleep 0.2
ip link set lo up
ip link add veth-admin type veth peer name veth-pc1
ip link set veth-pc1 netns "$pc1_pid"
ip addr add 198.18.0.2/24 dev veth-admin
ip link set veth-admin up
nsenter --net=/proc/$pc1_pid/ns/net sh -c \
  'ip link set lo up && ip addr add 198.18.0.11/24 dev veth-pc1 && ip link set veth-pc1 up'
echo "198.18.0.11 pc1" >>"$r/etc/hosts"  # its reverse name, as a small office's hosts file has it

# --- installation ---
rm -f "$r/var/lib/man-db/auto-update"  # no manual index rebuilt for a root that is thrown away
in_root env DEBIAN_FRONTEND=noninteractive dpkg -i "/tmp/$(basename "$deb")" >/dev/null
check "dpkg -i : paquet installé" \
  test "$(in_root dpkg-query -W -f='${db:Status-Abbrev}' korvane)" = "ii "

programs=(korvane netsweep hostping wolcmd netcmd)
bitmaps=(ecran-on.bmp ecran-off.bmp neufbox_on.bmp neufbox_off.bmp
         led-rouge.bmp led-vert.bmp led-orange.bmp led-gris.bmp)
expected=(/usr/lib/korvane/par-utilisateur /usr/share/applications/korvane.desktop
          /usr/share/metainfo/example.korvane.Korvane.metainfo.xml
          /usr/share/doc/korvane/copyright /usr/share/doc/korvane/changelog.gz)
for p in "${programs[@]}"; do
  expected+=("/usr/lib/korvane/$p" "/usr/bin/$p" "/usr/share/man/man1/$p.1.gz")
  check "/usr/bin/$p mène à /usr/lib/korvane/$p" \
    test "$(in_root readlink -f "/usr/bin/$p")" = "/usr/lib/korvane/$p" -a -x "$r/usr/lib/korvane/$p"
done
for b in "${bitmaps[@]}"; do expected+=("/usr/lib/korvane/$b"); done
for s in 16 22 24 32 48 64 128 256; do expected+=("/usr/share/icons/hicolor/${s}x$s/apps/korvane.png"); done
listed=$(in_root dpkg -L korvane)
for f in "${expected[@]}"; do
  grep -qx -- "$f" <<<"$listed" && [ -e "$r$f" ] || fail "$f absent du paquet ou du disque"
done
check "le paquet ne pose que ses fichiers, dans /usr" \
  test -z "$(grep -v -e '^/usr\(/\|$\)' -e '^/\.$' <<<"$listed")"
for p in hostping netsweep; do
  check "$p a cap_net_raw" test "$(in_root getcap "/usr/lib/korvane/$p")" = "/usr/lib/korvane/$p cap_net_raw=ep"
done
check "korvane n'a aucune capacité" test -z "$(in_root getcap /usr/lib/korvane/korvane)"

# --- the console programs, as installed ---
in_root setpriv --reuid=65534 --regid=65534 --clear-groups -- \
  bash /tmp/info_options_test.sh /usr/bin "$version" || fail "--help / --version installés"
for p in netsweep wolcmd hostping netcmd korvane; do
  check "page de manuel de $p" sh -c "chroot '$r' man -l /usr/share/man/man1/$p.1.gz 2>/dev/null | grep -q '^NOM'"
done

# --- ordinary users start Korvane ---
in_root useradd -m -s /bin/bash anne
in_root useradd -m -s /bin/bash bruno
as_user() {  # user command...
  local user=$1; shift
  in_root setpriv --reuid="$user" --regid="$user" --init-groups -- \
    env -i HOME="/home/$user" USER="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen "$@"
}
start_korvane() {  # user picture: starts from the menu's command, waits for netsweep
  local user=$1 folder=$r/home/$1/.local/share/korvane
  as_user "$user" KORVANE_SCREENSHOT="/home/$user/$2" KORVANE_SCREENSHOT_DELAY=3 korvane \
    >/dev/null 2>&1 || fail "korvane ($user) a fini en erreur"
  for _ in $(seq 1 150); do  # the scan Korvane started goes on alone; 15 s at most
    [ -e "$folder/netsweep.lck" ] || break
    sleep 0.1
  done
  [ ! -e "$folder/netsweep.lck" ] || fail "netsweep ($user) ne finit pas"
}
first_start_files=(liste.mac liste.ip liste.patch liste.ip.discover liste.known krv.ini localGM)
png_magic() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }

start_korvane anne carte.png
anne=$r/home/anne/.local/share/korvane
check "dossier d'anne, à elle seule (0700)" \
  test "$(in_root stat -c '%U %a' /home/anne/.local/share/korvane)" = "anne 700"
for f in "${first_start_files[@]}"; do check "premier démarrage : $f" test -f "$anne/$f"; done
for p in "${programs[@]}" "${bitmaps[@]}"; do
  check "lien $p" test "$(readlink "$anne/$p")" = "/usr/lib/korvane/$p"
done
check "capture de la carte" png_magic "$r/home/anne/carte.png"
check "netsweep a trouvé pc1" grep -q '^pc1 198\.18\.0\.11' "$anne/liste.ip"
check "netsweep a noté la carte de pc1" grep -qi '^pc1 [0-9A-F]\{2\}-' "$anne/liste.mac"
check "rien n'est écrit dans /usr/lib/korvane" \
  test "$(ls "$r/usr/lib/korvane" | wc -l)" = $((${#programs[@]} + ${#bitmaps[@]} + 1))

# pc1 goes to sleep; anne enrols it; the next start keeps what was found.
nsenter --net=/proc/$pc1_pid/ns/net sysctl -qw net.ipv4.icmp_echo_ignore_all=1
printf 'pc1\r\n' >"$anne/localGM"
found_ip=$(cat "$anne/liste.ip")
found_mac=$(cat "$anne/liste.mac")
start_korvane anne carte2.png
check "second démarrage : liste.ip gardée" test "$(cat "$anne/liste.ip")" = "$found_ip"
check "second démarrage : liste.mac gardée" test "$(cat "$anne/liste.mac")" = "$found_mac"
check "second démarrage : localGM gardé" test "$(cat "$anne/localGM")" = $'pc1\r'
check "second démarrage : capture" png_magic "$r/home/anne/carte2.png"

# Another user of the machine has a folder of their own.
start_korvane bruno carte.png
bruno=$r/home/bruno/.local/share/korvane
check "dossier de bruno, à lui seul" test "$(in_root stat -c '%U %a' /home/bruno/.local/share/korvane)" = "bruno 700"
check "bruno ne voit pas les listes d'anne" test ! -s "$bruno/localGM"

# An upgrade (the same package, a version later, with one program more)
# takes effect at the next start: the new program is found in the user's
# folder, whose files stay as they were.
# Korvane's own runs go on writing in the folder (the state history grows at
# each poll): what a package operation must not do is take a file away. The
# run markers and the writers' temporaries come and go with the runs (the
# netsweep a start launched may still be running) and are not the user's.
anne_lasting() {
  (cd "$anne" && find . -type f -printf '%p\n' | grep -v -e '\.lck$' -e '\.tmp-' | sort)
}
anne_files=$(anne_lasting)
anne_keeps() {
  [ -z "$(comm -23 <(echo "$anne_files") <(anne_lasting))" ]
}
upgrade=$top/upgrade
dpkg-deb -R "$deb" "$upgrade"
sed -i "s/^Version: .*/Version: $version+1/" "$upgrade/DEBIAN/control"
printf '#!/bin/sh\necho nouveau\n' >"$upgrade/usr/lib/korvane/nouveau"
chmod 755 "$upgrade/usr/lib/korvane/nouveau"
dpkg-deb --root-owner-group -b "$upgrade" "$r/tmp/upgrade.deb" >/dev/null
in_root env DEBIAN_FRONTEND=noninteractive dpkg -i /tmp/upgrade.deb >/dev/null
check "mise à jour installée" \
  test "$(in_root dpkg-query -W -f='${Version}' korvane)" = "$version+1"
check "mise à jour : cap_net_raw de nouveau" \
  test "$(in_root getcap /usr/lib/korvane/hostping)" = "/usr/lib/korvane/hostping cap_net_raw=ep"
start_korvane anne carte3.png
check "mise à jour : le nouveau programme au démarrage suivant" \
  test "$(as_user anne /home/anne/.local/share/korvane/nouveau)" = nouveau
check "mise à jour : les fichiers d'anne restent" \
  anne_keeps
expected+=(/usr/lib/korvane/nouveau)

# The pictures of the map, for whoever wants to see them.
if [ -n "${KORVANE_PACKAGE_SHOTS:-}" ]; then
  cp "$r/home/anne/carte.png" "$KORVANE_PACKAGE_SHOTS/premier-demarrage.png"
  cp "$r/home/anne/carte2.png" "$KORVANE_PACKAGE_SHOTS/second-demarrage.png"
fi

# --- removal ---
in_root dpkg -r korvane >/dev/null
check "dpkg -r : paquet retiré" \
  test "$(in_root dpkg-query -W -f='${db:Status-Abbrev}' korvane 2>/dev/null || true)" != "ii "
for f in "${expected[@]}"; do [ ! -e "$r$f" ] || fail "$f reste après dpkg -r"; done
check "dpkg -r : /usr/lib/korvane parti" test ! -e "$r/usr/lib/korvane"
check "dpkg -r : les fichiers d'anne restent" \
  anne_keeps
check "dpkg -r : le dossier de bruno reste" test -f "$bruno/krv.ini"

[ "$failures" = 0 ] || { echo "package_test : $failures échec(s)" >&2; exit 1; }
echo "package_test : tout est bon"
