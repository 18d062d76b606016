# Sourced by the scripts that keep a lab up while something runs in it
# (tests/lab/run-in-lab.sh, the Windows tests' tests/windows/lab.sh and
# window_test.sh).
#
# The kernel's neighbour table (ARP) is one for the whole machine: its limit
# (net.ipv4.neigh.default.gc_thresh3, 1024 entries, settable only outside
# every namespace) counts the entries of every network namespace at once,
# whatever test run, worktree or ctest they belong to. A sweep of a /20 whose
# echo requests may not ask ARP first (tests/lab/sweep_test.cpp) keeps
# hundreds of unresolved entries for seconds; beside another such sweep, or
# several busy labs, the table is full, and then no lab can send anything
# that needs an entry, not even a broadcast: a magic packet, an ARP request,
# a connection to smbd fail at once. CTest's RUN_SERIAL keeps such a test
# alone within one ctest only; the other runs on the same machine (other
# worktrees, the Windows tests) see this lock.
#
#   lab_hold_neighbours shared      any lab, until this shell ends
#   lab_hold_neighbours exclusive   a lab that fills the table: alone on the
#                                   machine until this shell ends
#
# The lock is held by a small process of its own that ends with this shell,
# however this shell ends (killed at a test's time-out included): the lab's
# daemons, which may outlive it, never hold it. An exclusive taker first
# closes a gate, so that the shared takers that come after it wait behind it
# instead of keeping it out for ever.
lab_hold_neighbours() {
  # This shell's own process (a subshell's too), taken here: inside the
  # background command below it would be the holder's.
  local mode=$1 dir=/run/korvane-lab ready shell=$BASHPID
  mkdir -p "$dir"
  local gate=$dir/voisins.porte table=$dir/voisins.verrou
  touch "$gate" "$table"
  if [ "$mode" = exclusive ]; then
    flock -n -x "$table" true ||
      echo "labo : en attente de la table des voisins du noyau, que d'autres laboratoires utilisent" >&2
  else
    flock -n -s "$table" true ||
      echo "labo : en attente de la table des voisins du noyau (un balayage d'un /20 la remplit)" >&2
    flock -s "$gate" true
  fi
  ready=$(mktemp)
  rm -f "$ready"
  local holder=(flock -s "$table")
  [ "$mode" = exclusive ] && holder=(flock -x "$gate" flock -x "$table")
  "${holder[@]}" sh -c ': >"$1"; exec tail --pid="$2" -f /dev/null' sh "$ready" "$shell" \
    </dev/null >/dev/null 2>&1 &
  local pid=$!
  until [ -e "$ready" ]; do
    kill -0 "$pid" 2>/dev/null || { echo "labo : verrou de la table des voisins impossible" >&2; return 1; }
    sleep 0.1
  done
  rm -f "$ready"
}
