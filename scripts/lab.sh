#!/usr/bin/env bash
# The simulated LAN used by the lab tests and the demo. Everything lives in
# network namespaces this script makes: a gateway holding a bridge and a home
# router's DNS server (dnsmasq), an admin machine where the programs run, and
# the hosts of lab-hosts.txt, each with its responder (NetBIOS names, magic
# packets) or Samba's nmbd for its NetBIOS names. Nothing routes out.
#
#   lab.sh up | down | status
#   lab.sh exec CMD...        run CMD in the admin namespace
#   lab.sh sleep HOST | wake HOST | asleep HOST    (HOST: h1, h2, ...)
#                             a sleeping host drops every frame it receives or
#                             sends (ARP, TCP, echo requests...), as a computer
#                             that is off; its responder still sees the magic
#                             packet that wakes it (nftables, netdev family)
#   lab.sh unplug HOST | replug HOST   HOST's cable pulled out of the gateway's
#                             switch (it is gone from the LAN), then plugged back
#   lab.sh readdress HOST ADDRESS   HOST takes another address of the LAN, and
#                             announces it (gratuitous ARP) as a computer does
#                             when it joins a network
#   lab.sh samba HOST [sleep|ignore]   Samba's smbd on HOST, answering remote
#                             shutdowns: its shutdown script puts HOST to sleep
#                             (sleep, the default) or does nothing (ignore)
#   lab.sh shutdowns HOST     what HOST's shutdown script was given, one line per call
#   lab.sh ssh HOST PUBKEY    OpenSSH's sshd on HOST, letting in root with the key
#                             PUBKEY (a .pub file) only, through a forced command
#                             that notes the command asked (SSH_ORIGINAL_COMMAND):
#                             "...poweroff" puts HOST to sleep a second later,
#                             "...reboot" puts it to sleep and wakes it 4 s later,
#                             anything else only answers
#   lab.sh sshrekey HOST      HOST's sshd gets a new host key (a reinstalled
#                             computer, or another one at its address)
#   lab.sh sshcalls HOST      the commands HOST's sshd was asked, one per line
#
# sshd, like smbd below, runs only inside its host's namespace, listening on
# the host's address, with its configuration, host key and log in the lab's
# folder.
# smbd runs only inside its host's namespace, bound to that host's interface,
# with its configuration, state, locks, cache and logs in the lab's own folder;
# the admin machine's Samba client tools (net) get a configuration of their own
# the same way. Both go with the lab. The lab's Samba accounts, password
# "labo-korvane": root, who may shut a host down (Samba grants root every
# right), and daemon, who may not (WERR_ACCESS_DENIED).
#
# KORVANE_LAB names the lab (letters and digits, default "krvlab"), so that
# several labs can stand side by side; KORVANE_LABHOST is the responder program;
# KORVANE_LAB_HOSTS is a hosts file to use instead of lab-hosts.txt (same
# layout), for a larger LAN; KORVANE_LAB_PREFIXLEN is the LAN's prefix length
# (default 24: 198.18.0.0/24; 20 makes 198.18.0.0/20). Give the same ones to
# every call on that lab.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
lab=${KORVANE_LAB:-krvlab}
labhost=${KORVANE_LABHOST:-$root/build/tests/labhost}
hosts_file=${KORVANE_LAB_HOSTS:-$here/lab-hosts.txt}
state=/run/korvane-lab/$lab

readonly subnet_prefix=198.18.0
readonly gateway_ip=198.18.0.1 admin_ip=198.18.0.2 prefix_len=${KORVANE_LAB_PREFIXLEN:-24}
readonly gateway_mac=02:4b:52:00:00:01 admin_mac=02:4b:52:00:00:02
readonly beyond_gateway=203.0.113.0/24
readonly samba_password=labo-korvane samba_users="root daemon"

die() { echo "lab : $*" >&2; exit 1; }
[[ $lab =~ ^[A-Za-z0-9]{1,20}$ ]] || die "nom de laboratoire invalide : $lab"
[[ $prefix_len =~ ^(1[6-9]|2[0-4])$ ]] || die "longueur de préfixe invalide : $prefix_len (16 à 24)"
ns() { echo "$lab-$1"; }
in_ns() { local n=$1; shift; ip netns exec "$(ns "$n")" "$@"; }
ns_exists() { ip netns list | awk '{print $1}' | grep -qx "$(ns "$1")"; }

# Checked where it is read, so that a lab whose file is gone still comes down.
need_hosts_file() {
  [ -f "$hosts_file" ] && [ -r "$hosts_file" ] || die "liste des hôtes illisible : $hosts_file"
}
host_lines() { grep -v '^\s*#' "$hosts_file" | awk 'NF >= 6'; }
# The seventh column holds options, joined by ",": "nmbd" (Samba's nmbd answers
# for the NetBIOS name), "dns" (the reverse name is known to the DNS server
# only, not to the admin's hosts file), "noecho" (the host's firewall drops
# echo requests), "notcp" (it drops every TCP connection, except to file
# sharing, port 445, once "lab.sh samba" serves it), "firewall" (both, as
# Windows' firewall does by default), "loss=N" (a lossy link: N % of the echo
# requests, 1 to 99, dropped at random). A NetBIOS name "-": no name at all.
has_option() { [[ ",$1," == *",$2,"* ]]; }
# The N of "loss=N", empty when the option is absent.
loss_option() { tr ',' '\n' <<<"$1" | sed -n 's/^loss=\([1-9][0-9]\?\)$/\1/p' | head -n 1; }
host_field() { host_lines | awk -v id="$1" -v f="$2" '$1 == id { print $f }'; }
known_host() { need_hosts_file; [ -n "$(host_field "$1" 1)" ] || die "hôte inconnu : $1"; }

# One veth link from the gateway's bridge to member $1, which gets $2/$3.
plug() {
  local member=$1 ip=$2 mac=$3
  ip netns add "$(ns "$member")"
  in_ns "$member" ip link set lo up
  ip -n "$(ns gw)" link add "v-$member" type veth peer name eth0 netns "$(ns "$member")"
  ip -n "$(ns gw)" link set "v-$member" master br0 up
  ip -n "$(ns "$member")" link set eth0 address "$mac"
  ip -n "$(ns "$member")" addr add "$ip/$prefix_len" dev eth0
  ip -n "$(ns "$member")" link set eth0 up
}

make_gateway() {
  ip netns add "$(ns gw)"
  in_ns gw ip link set lo up
  ip -n "$(ns gw)" link add br0 type bridge
  ip -n "$(ns gw)" link set br0 address "$gateway_mac"
  ip -n "$(ns gw)" addr add "$gateway_ip/$prefix_len" dev br0
  ip -n "$(ns gw)" link set br0 up
  # A router that knows nothing beyond the LAN says so with "unreachable".
  in_ns gw sysctl -qw net.ipv4.ip_forward=1
  # Its ICMP errors to one peer share one token budget with the "unreachable"
  # route's own limit, leaving the admin two answers per burst; without the
  # per-type limit only the route's remains (five per burst, then one a
  # second; its cost is not settable outside the machine's namespace).
  in_ns gw sysctl -qw net.ipv4.icmp_ratemask=0
  ip -n "$(ns gw)" route add unreachable "$beyond_gateway"
  start_dns
}

# The router's DNS server knows every reverse name of the hosts file and
# answers any other question at once (no upstream server: "local" for all).
start_dns() {
  host_lines | awk '$6 != "-" { split($6, p, "."); printf "%s\t%s %s\n", $2, $6, p[1] }' \
    >"$state/dns-hosts"
  chmod 644 "$state/dns-hosts"
  in_ns gw dnsmasq --keep-in-foreground --conf-file=/dev/null --no-hosts --no-resolv \
    --addn-hosts="$state/dns-hosts" --local=/#/ --listen-address="$gateway_ip" \
    --bind-interfaces --pid-file= --user=nobody --group=nogroup \
    --log-facility="$state/dnsmasq.log" </dev/null >/dev/null 2>&1 &
  wait_for_port gw 53 "le serveur DNS de la passerelle" "$state/dnsmasq.log"
}

make_admin() {
  plug admin "$admin_ip" "$admin_mac"
  ip -n "$(ns admin)" route add default via "$gateway_ip"
  # Unprivileged ICMP datagram sockets, as on a desktop distribution.
  in_ns admin sysctl -qw net.ipv4.ping_group_range="0 2147483647"
  local etc=/etc/netns/$(ns admin)
  mkdir -p "$etc"
  printf 'nameserver %s\nsearch maison.lan\n' "$gateway_ip" >"$etc/resolv.conf"
  {
    printf '127.0.0.1\tlocalhost\n'
    host_lines | awk '$6 != "-" && ("," $7 ",") !~ /,dns,/ {
      split($6, p, "."); printf "%s\t%s %s\n", $2, $6, p[1] }'
  } >"$etc/hosts"
  # The hosts file first, then the gateway's DNS server, which answers at once.
  sed 's/^hosts:.*/hosts:          files dns/' /etc/nsswitch.conf >"$etc/nsswitch.conf"
  admin_samba_client "$etc"
}

# ip netns exec mounts $etc/samba over /etc/samba (when the machine has one),
# so net and smbclient in the admin namespace keep their locks and caches in
# the lab's folder, never in the machine's /run/samba or /var/cache/samba.
admin_samba_client() {
  local etc=$1 dir=$state/admin-samba
  [ -d /etc/samba ] || return 0
  mkdir -p "$etc/samba"
  cat >"$etc/samba/smb.conf" <<EOF
[global]
  workgroup = MAISON
  smb ports = 445
$(samba_folders "$dir")
EOF
}

# Makes the folders where a Samba program keeps its state, all under $1, and
# prints the settings that point it there.
samba_folders() {
  local dir=$1
  mkdir -p "$dir"/{private,state,lock,cache,run,log,usershares}
  chmod 700 "$dir/private"
  cat <<EOF
  private dir = $dir/private
  state directory = $dir/state
  lock directory = $dir/lock
  cache directory = $dir/cache
  pid directory = $dir/run
  ncalrpc dir = $dir/run/ncalrpc
EOF
}

wait_for_port() {  # namespace, UDP port, what, log file
  for _ in $(seq 100); do
    in_ns "$1" ss -Huln "sport = :$2" | grep -q . && return 0
    sleep 0.05
  done
  die "$3 ne démarre pas : $(cat "$4" 2>/dev/null)"
}

# Samba's own NetBIOS name server, with a configuration private to the host.
start_nmbd() {
  local id=$1 name=$2 group=$3 dir=$state/$id
  mkdir -p "$dir"
  cat >"$dir/smb.conf" <<EOF
[global]
netbios name = $name
workgroup = $group
interfaces = eth0
bind interfaces only = yes
local master = no
domain master = no
preferred master = no
dns proxy = no
$(samba_folders "$dir")
log file = $dir/nmbd.log
EOF
  in_ns "$id" setsid nmbd --foreground --no-process-group --configfile="$dir/smb.conf" \
    </dev/null >"$state/$id-nmbd.log" 2>&1 &
  wait_for_port "$id" 137 "nmbd de $id" "$state/$id-nmbd.log"
  nmbd_names+=("$name")
}

# nmbd listens at once, and answers a unicast query at once, but answers the
# LAN's broadcast queries only once it has claimed its name there, a few
# seconds later: the lab is up when the admin machine's broadcast finds it.
wait_for_nmbd_names() {
  local name end=$((SECONDS + 30))
  for name in "${nmbd_names[@]}"; do
    until in_ns admin nmblookup "$name" 2>/dev/null | grep -q '<00>'; do
      if ((SECONDS >= end)); then
        echo "lab : nmbd ne répond toujours pas pour $name" >&2
        return 0
      fi
      sleep 0.2
    done
  done
}

# labhost listens for magic packets on every host, and answers for the
# NetBIOS name unless the host has none or nmbd answers for it.
start_responder() {
  local id=$1 name=$2 group=$3 mac=$4 options=$5 naming=()
  [ -x "$labhost" ] || die "répondeur introuvable : $labhost (compilez d'abord)"
  if [ "$name" != - ] && ! has_option "$options" nmbd; then
    naming=(--name "$name" --group "$group")
  fi
  in_ns "$id" setsid "$labhost" "${naming[@]}" --mac "$mac" \
    </dev/null >"$state/$id.log" 2>&1 &
  wait_for_port "$id" 9 "le répondeur de $id" "$state/$id.log"
  if [ "$name" != - ] && has_option "$options" nmbd; then start_nmbd "$id" "$name" "$group"; fi
  if ((${#naming[@]})); then wait_for_port "$id" 137 "le répondeur de $id" "$state/$id.log"; fi
}

# The sleep of every host: its interface drops every frame, both ways. A
# packet socket (labhost's) still sees what arrives: the kernel hands frames
# to packet sockets before the netdev rules.
readonly sleep_table=korvane_sommeil
write_sleep_rules() {
  cat >"$state/sommeil.nft" <<EOF
table netdev $sleep_table {
  chain entree { type filter hook ingress device "eth0" priority 0; policy drop; }
  chain sortie { type filter hook egress device "eth0" priority 0; policy drop; }
}
EOF
}

# The host's own firewall and link, from its options. A firewall lets
# through the TCP ports of its set "partage" only: "lab.sh samba" adds 445,
# as turning file sharing on opens Windows' firewall for it.
readonly host_table=korvane_hote
apply_host_rules() {
  local id=$1 options=$2 rules=() set=() loss
  if has_option "$options" noecho || has_option "$options" firewall; then
    rules+=("icmp type echo-request drop")
  fi
  if has_option "$options" notcp || has_option "$options" firewall; then
    set=("set partage { type inet_service; }")
    rules+=("tcp flags & (syn | ack) == syn tcp dport != @partage drop")
  fi
  loss=$(loss_option "$options")
  [ -n "$loss" ] && rules+=("icmp type echo-request numgen random mod 100 < $loss drop")
  ((${#rules[@]})) || return 0
  command -v nft >/dev/null || die "nft introuvable (scripts/bootstrap.sh installe nftables)"
  {
    echo "table inet $host_table {"
    ((${#set[@]})) && printf '  %s\n' "${set[@]}"
    echo "  chain entree {"
    echo "    type filter hook input priority 0; policy accept;"
    printf '    %s\n' "${rules[@]}"
    echo "  }"
    echo "}"
  } | in_ns "$id" nft -f -
}

cmd_up() {
  need_hosts_file
  if [ -d "$state" ]; then
    ns_exists admin && return 0
    cmd_down
  fi
  mkdir -p "$state"
  write_sleep_rules
  make_gateway
  make_admin
  local id ip mac name group reverse options
  nmbd_names=()
  while read -r id ip mac name group reverse options; do
    plug "$id" "$ip" "$mac"
    apply_host_rules "$id" "${options:-}"
    start_responder "$id" "$name" "$group" "$mac" "${options:-}"
  done < <(host_lines)
  wait_for_nmbd_names
}

cmd_down() {
  local n pid
  for n in $(ip netns list | awk '{print $1}' | grep "^$lab-" || true); do
    # Every process in a lab namespace was started by the lab.
    for pid in $(ip netns pids "$n" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
    ip netns del "$n" 2>/dev/null || true
  done
  rm -rf "/etc/netns/$(ns admin)" "$state"
  rmdir /etc/netns /run/korvane-lab 2>/dev/null || true  # only when no other lab uses them
}

# The script smbd runs on a remote shutdown, with the message, -r and -f.
# The host goes to sleep a second later, in the background, as Windows waits
# for the delay it was given: smbd first answers the call.
write_shutdown_script() {
  local file=$1 dir=$2 action=$3
  {
    echo '#!/bin/sh'
    echo "echo \"\$*\" >>'$dir/shutdown.log'"
    [ "$action" = sleep ] &&
      echo "(sleep 1; nft -f '$state/sommeil.nft') </dev/null >/dev/null 2>&1 &"
    echo 'exit 0'
  } >"$file"
  chmod 755 "$file"
}

write_smb_conf() {
  local id=$1 dir=$2
  cat >"$dir/smb.conf" <<EOF
[global]
  workgroup = $(host_field "$id" 5)
  netbios name = $(host_field "$id" 4)
  server role = standalone server
  interfaces = eth0
  bind interfaces only = yes
  disable netbios = yes
  smb ports = 445
$(samba_folders "$dir")
  binddns dir = $dir/private/bind-dns
  ntp signd socket directory = $dir/private/ntp_signd
  winbindd socket directory = $dir/run/winbindd
  usershare path = $dir/usershares
  smb passwd file = $dir/private/smbpasswd
  passdb backend = tdbsam:$dir/private/passdb.tdb
  log file = $dir/log/log.%m
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  shutdown script = $dir/shutdown.sh %z %r %f
EOF
}

cmd_samba() {
  local id=$1 action=${2:-sleep} dir=$state/$1-samba user
  known_host "$id"
  [[ $action =~ ^(sleep|ignore)$ ]] || die "samba : action inconnue : $action (sleep ou ignore)"
  command -v smbd >/dev/null || die "smbd introuvable (scripts/bootstrap.sh installe samba)"
  [ -d "$state" ] || die "le laboratoire $lab n'est pas démarré"
  [ -e "$dir" ] && die "samba tourne déjà sur $id"
  mkdir -p "$dir"
  write_shutdown_script "$dir/shutdown.sh" "$dir" "$action"
  : >"$dir/shutdown.log"
  write_smb_conf "$id" "$dir"
  for user in $samba_users; do
    printf '%s\n%s\n' "$samba_password" "$samba_password" |
      in_ns "$id" smbpasswd -c "$dir/smb.conf" -s -a "$user" >/dev/null
  done
  in_ns "$id" setsid smbd -F --no-process-group -s "$dir/smb.conf" \
    </dev/null >"$dir/smbd.out" 2>&1 &
  local options
  options=$(host_field "$id" 7)
  if has_option "$options" firewall || has_option "$options" notcp; then
    in_ns "$id" nft add element inet "$host_table" partage '{ 445 }'
  fi
  for _ in $(seq 100); do
    in_ns "$id" ss -Htln 'sport = :445' | grep -q . && return 0
    sleep 0.05
  done
  die "smbd ne démarre pas sur $id : $(cat "$dir/smbd.out")"
}

cmd_shutdowns() {
  known_host "$1"
  cat "$state/$1-samba/shutdown.log" 2>/dev/null || true
}

# The forced command of the lab's authorized key: what the computer's own
# poweroff or reboot would do, seen from the LAN.
write_ssh_forced() {
  local file=$1 dir=$2
  {
    echo '#!/bin/sh'
    echo "echo \"\$SSH_ORIGINAL_COMMAND\" >>'$dir/ssh.log'"
    echo 'case $SSH_ORIGINAL_COMMAND in'
    echo "  *poweroff) (sleep 1; nft -f '$state/sommeil.nft') </dev/null >/dev/null 2>&1 & ;;"
    echo "  *reboot) (sleep 1; nft -f '$state/sommeil.nft'; sleep 4;" \
         "nft delete table netdev $sleep_table) </dev/null >/dev/null 2>&1 & ;;"
    echo 'esac'
    echo 'exit 0'
  } >"$file"
  chmod 755 "$file"
}

start_sshd() {
  local id=$1 dir=$state/$1-ssh
  in_ns "$id" setsid /usr/sbin/sshd -D -e -f "$dir/sshd_config" </dev/null >>"$dir/sshd.out" 2>&1 &
  echo $! >"$dir/sshd.pid"
  for _ in $(seq 100); do
    in_ns "$id" ss -Htln 'sport = :22' | grep -q . && return 0
    sleep 0.05
  done
  die "sshd ne démarre pas sur $id : $(cat "$dir/sshd.out")"
}

stop_sshd() {
  local dir=$state/$1-ssh pid
  pid=$(cat "$dir/sshd.pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    in_ns "$1" ss -Htln 'sport = :22' | grep -q . || return 0
    sleep 0.05
  done
}

cmd_ssh() {
  local id=$1 key=$2 dir=$state/$1-ssh
  known_host "$id"
  [ -x /usr/sbin/sshd ] || die "sshd introuvable (scripts/bootstrap.sh installe openssh-server)"
  [ -d "$state" ] || die "le laboratoire $lab n'est pas démarré"
  [ -e "$dir" ] && die "sshd tourne déjà sur $id"
  [ -f "$key" ] || die "ssh : clé publique introuvable : $key"
  mkdir -p "$dir" /run/sshd
  chmod 700 "$dir"
  ssh-keygen -q -t ed25519 -N '' -C "$id" -f "$dir/hostkey" </dev/null
  write_ssh_forced "$dir/forced.sh" "$dir"
  : >"$dir/ssh.log"
  printf 'command="%s",no-pty,no-port-forwarding,no-agent-forwarding,no-X11-forwarding %s\n' \
    "$dir/forced.sh" "$(cat "$key")" >"$dir/authorized_keys.root"
  cat >"$dir/sshd_config" <<EOF
ListenAddress $(host_field "$id" 2)
HostKey $dir/hostkey
PidFile none
AuthorizedKeysFile $dir/authorized_keys.%u
PermitRootLogin forced-commands-only
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
LogLevel VERBOSE
EOF
  start_sshd "$id"
}

cmd_sshrekey() {
  local id=$1 dir=$state/$1-ssh
  known_host "$id"
  [ -d "$dir" ] || die "sshd ne tourne pas sur $id"
  stop_sshd "$id"
  rm -f "$dir/hostkey" "$dir/hostkey.pub"
  ssh-keygen -q -t ed25519 -N '' -C "$id" -f "$dir/hostkey" </dev/null
  start_sshd "$id"
}

cmd_status() {
  ip netns list | awk '{print $1}' | grep "^$lab-" || echo "lab $lab : arrêté"
}

# The gateway's end of the host's link: the switch port of its cable. A cable
# plugged back is up when this returns: both ends carry traffic (the kernel
# takes up to a second to see a link come up).
set_cable() {
  known_host "$1"
  ip -n "$(ns gw)" link set "v-$1" "$2"
  [ "$2" = up ] || return 0
  for _ in $(seq 100); do
    ip -n "$(ns gw)" -o link show dev "v-$1" | grep -q 'state UP' &&
      ip -n "$(ns "$1")" -o link show dev eth0 | grep -q 'state UP' && return 0
    sleep 0.05
  done
  die "le lien de $1 ne remonte pas"
}

# The new address replaces the old one, then the host announces it with an
# unsolicited ARP request, as a computer joining a network does; that updates
# the neighbours that knew the address.
readdress() {
  local id=$1 address=$2
  known_host "$id"
  [[ $address =~ ^198\.18\.([0-9]|[1-9][0-9]|1[0-9][0-9]|2[0-4][0-9]|25[0-5])\.([1-9]|[1-9][0-9]|1[0-9][0-9]|2[0-4][0-9]|25[0-4])$ ]] ||
    die "readdress : adresse invalide : $address"
  command -v arping >/dev/null || die "arping introuvable (scripts/bootstrap.sh installe iputils-arping)"
  ip -n "$(ns "$id")" addr flush dev eth0
  ip -n "$(ns "$id")" addr add "$address/$prefix_len" dev eth0
  in_ns "$id" arping -q -U -c 1 -I eth0 "$address"
}

set_asleep() {
  known_host "$1"
  [ -f "$state/sommeil.nft" ] || die "le laboratoire $lab n'est pas démarré"
  if [ "$2" = 1 ]; then
    is_asleep "$1" || in_ns "$1" nft -f "$state/sommeil.nft"
  else
    ! is_asleep "$1" || in_ns "$1" nft delete table netdev "$sleep_table"
  fi
}
is_asleep() { in_ns "$1" nft list table netdev "$sleep_table" >/dev/null 2>&1; }

case ${1:-} in
  up) cmd_up ;;
  down) cmd_down ;;
  status) cmd_status ;;
  exec) shift; [ $# -gt 0 ] || die "exec : commande manquante"; in_ns admin "$@" ;;
  sleep) set_asleep "${2:?hôte manquant}" 1 ;;
  wake) set_asleep "${2:?hôte manquant}" 0 ;;
  samba) cmd_samba "${2:?hôte manquant}" "${3:-sleep}" ;;
  shutdowns) cmd_shutdowns "${2:?hôte manquant}" ;;
  ssh) cmd_ssh "${2:?hôte manquant}" "${3:?clé publique manquante}" ;;
  sshrekey) cmd_sshrekey "${2:?hôte manquant}" ;;
  sshcalls) known_host "${2:?hôte manquant}"; cat "$state/$2-ssh/ssh.log" 2>/dev/null || true ;;
  asleep) known_host "${2:?hôte manquant}"; if is_asleep "$2"; then echo 1; else echo 0; fi ;;
  unplug) set_cable "${2:?hôte manquant}" down ;;
  replug) set_cable "${2:?hôte manquant}" up ;;
  readdress) readdress "${2:?hôte manquant}" "${3:?adresse manquante}" ;;
  *) echo "usage : lab.sh up|down|status|exec CMD...|sleep HOST|wake HOST|asleep HOST" \
          "|unplug HOST|replug HOST|readdress HOST ADDRESS|samba HOST [sleep|ignore]|shutdowns HOST" \
          "|ssh HOST PUBKEY|sshrekey HOST|sshcalls HOST" >&2
     exit 2 ;;
esac
