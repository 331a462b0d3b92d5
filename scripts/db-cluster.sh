#!/usr/bin/env bash
# A throwaway MariaDB Galera cluster on 127.0.0.1, for tests that run against a cluster.
#
#   db-cluster.sh start DIR [N]     N nodes (default 3), the first bootstraps, the others join by
#                                   rsync state transfer; returns when all are Synced
#   db-cluster.sh stop DIR          stop the nodes one at a time, node 1 last (DIR stays; start
#                                   brings the cluster back)
#   db-cluster.sh destroy DIR       kill everything the cluster started and remove DIR
#   db-cluster.sh kill DIR K        SIGKILL node K and the state transfer helpers it started
#   db-cluster.sh restart DIR K     start node K again; it rejoins the running cluster (IST or
#                                   SST) and the call returns when it is Synced
#
# Node K lives in DIR/nodeK with the layout of db-server.sh (data/, mysqld.sock, mysqld.pid,
# error.log) and the same server settings; DIR/nodeK/env points client programs at it, in the
# form db-server.sh writes. DIR/env holds what a test needs: VESTRAGEN_CLUSTER_NODES, per node
# VESTRAGEN_CLUSTER_SOCKET_K and VESTRAGEN_CLUSTER_PORT_K, and MYSQL_UNIX_PORT/MYSQL_TCP_PORT
# of node 1, so that site.sh and the client programs work on node 1 after sourcing it.
# A node keeps its ports across restarts. A node that is not Synced within 60 seconds fails
# the call with its error log; a failed start or restart stops the nodes it started and keeps
# DIR for the logs. stop gives each node 30 seconds before it kills it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR
. "$here/db-server.sh"

die() { echo "db-cluster: $*" >&2; exit 1; }

wait_seconds=60
provider=/usr/lib/galera/libgalera_smm.so

# DIR/cluster.conf sets these: the node count, the cluster name and per node its client,
# group communication, IST and SST ports.
nodes=0
name=""
declare -a port group ist sst

load_conf() {
  [ -f "$dir/cluster.conf" ] || die "no cluster in $dir"
  # shellcheck source=/dev/null
  . "$dir/cluster.conf"
}

alive() {  # PID: runs and is no zombie (kill -0 succeeds on a zombie nobody reaped yet)
  local st
  { read -r st <"/proc/$1/stat"; } 2>/dev/null || return 1
  st=${st##*) }
  [ "${st%% *}" != Z ]
}

node_pid() {  # K: the pid of node K's mariadbd if it runs
  local pid
  pid=$(cat "$dir/node$1/mysqld.pid" 2>/dev/null) || return 1
  [ -n "$pid" ] && alive "$pid" && echo "$pid"
}

# Every process of node K's session: mariadbd runs under setsid, and the state transfer
# scripts and rsync daemons it starts stay in its session even after it died.
session_pids() {
  local sid p line rest
  sid=$(cat "$dir/node$1/session" 2>/dev/null) || return 0
  [ -n "$sid" ] && [ "$sid" -gt 1 ] || return 0
  for p in /proc/[0-9]*; do
    { read -r line <"$p/stat"; } 2>/dev/null || continue
    rest=${line##*) }
    # shellcheck disable=SC2086
    set -- $rest
    [ "${4:-}" = "$sid" ] && [ "$1" != Z ] && echo "${p#/proc/}"
  done
  return 0
}

kill_session() {  # K
  local pids i
  for i in $(seq 1 50); do
    pids=$(session_pids "$1")
    [ -n "$pids" ] || return 0
    # shellcheck disable=SC2086
    kill -9 $pids 2>/dev/null || true
    sleep 0.1
  done
  die "node $1: processes $(session_pids "$1" | tr '\n' ' ')survive SIGKILL"
}

# K VARIABLE ...: prints the values of node K's status variables on one line, nothing while
# the node does not answer.
status_of() {
  local k=$1; shift
  local names
  names=$(printf "'%s'," "$@")
  timeout 5 mariadb --no-defaults -uroot --socket="$dir/node$k/mysqld.sock" --connect-timeout=2 \
    -N -B -e "SHOW GLOBAL STATUS WHERE Variable_name IN (${names%,})" 2>/dev/null |
    awk -v names="$*" '{ v[$1] = $2 }
      END { if (NR == split(names, n, " ")) for (i = 1; i <= NR; i++) printf "%s%s", v[n[i]], (i < NR ? " " : "\n") }' ||
    true
}

write_node_env() {  # K
  cat >"$dir/node$1/env" <<EOF
export MYSQL_UNIX_PORT='$dir/node$1/mysqld.sock'
export MYSQL_TCP_PORT='${port[$1]}'
export VESTRAGEN_DB_DIR='$dir/node$1'
EOF
}

write_env() {
  local k
  {
    echo "export VESTRAGEN_CLUSTER_DIR='$dir'"
    echo "export VESTRAGEN_CLUSTER_NODES=$nodes"
    for k in $(seq 1 "$nodes"); do
      echo "export VESTRAGEN_CLUSTER_SOCKET_$k='$dir/node$k/mysqld.sock'"
      echo "export VESTRAGEN_CLUSTER_PORT_$k='${port[k]}'"
    done
    cat "$dir/node1/env"
  } >"$dir/env"
}

# Sets NODE_ARGS, the options of node K's mariadbd with cluster address ADDRESS.
node_args() {
  local k=$1 address=$2
  server_args "$dir/node$k" "${port[k]}"
  NODE_ARGS=("${SERVER_ARGS[@]}"
    --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0
    --binlog-format=ROW --innodb-autoinc-lock-mode=2
    --wsrep-on=ON --wsrep-provider="$provider" --wsrep-cluster-name="$name"
    --wsrep-cluster-address="$address" --wsrep-node-name="node$k"
    --wsrep-node-address=127.0.0.1 --wsrep-node-incoming-address="127.0.0.1:${port[k]}"
    --wsrep-provider-options="base_host=127.0.0.1;base_port=${group[k]};gmcast.listen_addr=tcp://127.0.0.1:${group[k]};ist.recv_addr=127.0.0.1:${ist[k]};gcache.size=64M"
    --wsrep-sst-method=testbed --wsrep-sst-receive-address="127.0.0.1:${sst[k]}")
}

# Starts node K's mariadbd in the background with cluster address ADDRESS.
launch_node() {
  local k=$1 address=$2
  local nd=$dir/node$k position
  rm -f "$nd/mysqld.sock" "$nd/mysqld.pid" "$nd/env"
  node_args "$k" "$address"
  # A node that was killed left no position in grastate.dat. Without one it would need a
  # full state transfer; recovered from InnoDB, as the service scripts do, it rejoins by IST.
  if [ -f "$nd/data/ibdata1" ] && grep -q '^seqno: *-1' "$nd/data/grastate.dat" 2>/dev/null; then
    timeout "$wait_seconds" mariadbd "${NODE_ARGS[@]}" --wsrep-recover \
      --log-error="$nd/recover.log" </dev/null >/dev/null 2>&1 || true
    position=$(sed -n 's/.*WSREP: Recovered position: *//p' "$nd/recover.log" 2>/dev/null | tail -n 1)
    [ -z "$position" ] || NODE_ARGS+=(--wsrep-start-position="$position")
  fi
  PATH=$dir/bin:$PATH setsid mariadbd "${NODE_ARGS[@]}" </dev/null >/dev/null 2>&1 &
  # mariadbd writes its pid file only after the state transfer; stop and kill need it before.
  echo $! >"$nd/session"
  echo $! >"$nd/mysqld.pid"
}

# Waits until node K is Synced in a cluster of SIZE nodes.
wait_synced() {
  local k=$1 size=$2 deadline=$((SECONDS + wait_seconds)) st=""
  while [ $SECONDS -lt $deadline ]; do
    if ! node_pid "$k" >/dev/null; then
      tail -n 30 "$dir/node$k/error.log" >&2 2>/dev/null || true
      die "node $k exited while starting (log: $dir/node$k/error.log)"
    fi
    st=$(status_of "$k" wsrep_local_state_comment wsrep_cluster_size)
    if [ "$st" = "Synced $size" ]; then
      write_node_env "$k"
      return 0
    fi
    sleep 0.2
  done
  tail -n 30 "$dir/node$k/error.log" >&2 2>/dev/null || true
  die "node $k not Synced in a cluster of $size within ${wait_seconds}s (state: ${st:-no answer})"
}

# Stops node K: SIGTERM, and SIGKILL if it still runs after 30 s.
stop_node() {
  local pid i
  if pid=$(node_pid "$1"); then
    kill "$pid" 2>/dev/null || true
    for i in $(seq 1 300); do
      alive "$pid" || break
      sleep 0.1
    done
  fi
  kill_session "$1"
  rm -f "$dir/node$1/mysqld.pid" "$dir/node$1/session" "$dir/node$1/env"
}

stop_all() {
  local k
  for k in $(seq "$nodes" -1 1); do stop_node "$k"; done
  rm -f "$dir/env"
}

new_cluster() {
  nodes=$1
  name=vestragen-$$
  local k used=" " p i
  mkdir -p "$dir/bin"
  for k in $(seq 1 "$nodes"); do
    mkdir -p "$dir/node$k/data"
    for i in port group ist sst; do
      p=$(free_port)
      while [[ $used == *" $p "* ]]; do p=$(free_port); done
      used+="$p "
      eval "${i}[k]=$p"
    done
  done
  {
    echo "nodes=$nodes"
    echo "name=$name"
    for k in $(seq 1 "$nodes"); do
      echo "port[$k]=${port[k]} group[$k]=${group[k]} ist[$k]=${ist[k]} sst[$k]=${sst[k]}"
    done
  } >"$dir/cluster.conf"
  # The state transfer method testbed is rsync's, run with DIR/bin first in PATH, where a
  # wrapper keeps rsync's daemon from switching to the user nobody when it runs as root
  # (nobody may not write the joiner's data directory). mariadbd puts its own directory,
  # which holds rsync too, in front of PATH, hence a method of our own.
  cat >"$dir/bin/wsrep_sst_testbed" <<EOF
#!/bin/sh
export PATH='$dir/bin':\$PATH
exec /usr/bin/wsrep_sst_rsync "\$@"
EOF
  cat >"$dir/bin/rsync" <<'EOF'
#!/bin/sh
if [ "$(id -u)" -eq 0 ]; then
  case " $* " in *" --daemon "*) exec /usr/bin/rsync "$@" --dparam=uid=0 --dparam=gid=0 ;; esac
fi
exec /usr/bin/rsync "$@"
EOF
  chmod 755 "$dir/bin/rsync" "$dir/bin/wsrep_sst_testbed"
  install_db "$dir/node1"
}

all_addresses() {
  local k list=""
  for k in $(seq 1 "$nodes"); do list+="${list:+,}127.0.0.1:${group[k]}"; done
  echo "gcomm://$list"
}

start_failed() {
  echo "db-cluster: start failed, stopping the nodes" >&2
  stop_all
}

start_cluster() {
  local n=${1:-}
  if [ -f "$dir/cluster.conf" ]; then
    load_conf
    [ -z "$n" ] || [ "$n" = "$nodes" ] || die "$dir holds a cluster of $nodes nodes, not $n"
  else
    n=${n:-3}
    [[ $n =~ ^[1-9][0-9]*$ ]] || die "node count must be a positive number: $n"
    new_cluster "$n"
  fi
  local k boot=""
  for k in $(seq 1 "$nodes"); do
    ! node_pid "$k" >/dev/null || die "node $k of $dir runs already"
  done
  # A fresh cluster bootstraps from node 1; one that was stopped from the node that left last
  # (stop takes node 1 last).
  for k in $(seq 1 "$nodes"); do
    if [ ! -f "$dir/node$k/data/grastate.dat" ] ||
      grep -q '^safe_to_bootstrap: *1' "$dir/node$k/data/grastate.dat"; then
      boot=$k
      break
    fi
  done
  [ -n "$boot" ] || die "no node of $dir is safe to bootstrap; destroy it and start afresh"
  trap start_failed EXIT
  launch_node "$boot" gcomm://
  wait_synced "$boot" 1
  local size=1
  for k in $(seq 1 "$nodes"); do
    [ "$k" != "$boot" ] || continue
    size=$((size + 1))
    launch_node "$k" "$(all_addresses)"
    wait_synced "$k" "$size"
  done
  for k in $(seq 1 "$nodes"); do wait_synced "$k" "$nodes"; done
  trap - EXIT
  write_env
}

node_arg() {  # K: checks K against the cluster in DIR
  load_conf
  if ! [[ $1 =~ ^[1-9][0-9]*$ ]] || [ "$1" -gt "$nodes" ]; then die "no node $1 in $dir"; fi
}

kill_node() {
  node_arg "$1"
  kill_session "$1"
}

restart_failed() {
  echo "db-cluster: restart failed, stopping node $restarting" >&2
  stop_node "$restarting"
}

restart_node() {
  local k=$1 i size=1 primary=""
  node_arg "$k"
  ! node_pid "$k" >/dev/null || die "node $k of $dir runs already"
  kill_session "$k"
  for i in $(seq 1 "$nodes"); do
    if [ "$i" = "$k" ] || ! node_pid "$i" >/dev/null; then continue; fi
    size=$((size + 1))
    [ "$(status_of "$i" wsrep_cluster_status)" != Primary ] || primary=$i
  done
  [ "$size" -gt 1 ] || die "no node of $dir runs that node $k could join; use stop and start"
  # A node that lost its quorum waits for the others forever; a joiner would wait with it.
  [ -n "$primary" ] || die "no running node of $dir is in the primary component (to make node" \
    "N one: SET GLOBAL wsrep_provider_options='pc.bootstrap=YES' on node N)"
  restarting=$k
  trap restart_failed EXIT
  launch_node "$k" "$(all_addresses)"
  wait_synced "$k" "$size"
  trap - EXIT
}

usage="usage: $0 start DIR [N] | stop DIR | destroy DIR | kill DIR K | restart DIR K"
[ $# -ge 2 ] || die "$usage"
cmd=$1
case "$cmd" in
  start) [ $# -le 3 ] || die "$usage"; mkdir -p "$2" ;;
  stop | destroy) [ $# -eq 2 ] || die "$usage"; [ -d "$2" ] || exit 0 ;;
  kill | restart) [ $# -eq 3 ] || die "$usage"; [ -d "$2" ] || die "no cluster in $2" ;;
  *) die "$usage" ;;
esac
dir=$(cd "$2" && pwd)
case "$cmd" in
  start) start_cluster "${3:-}" ;;
  stop) [ ! -f "$dir/cluster.conf" ] || { load_conf; stop_all; } ;;
  destroy)
    # The data goes, so no node needs to shut down in order: SIGKILL is quick, also for a
    # joiner in a state transfer, which ignores SIGTERM. Whatever that reports, DIR goes.
    if [ -f "$dir/cluster.conf" ]; then
      ( load_conf; for k in $(seq 1 "$nodes"); do kill_session "$k"; done ) || true
    fi
    rm -rf "$dir"
    ;;
  kill) kill_node "$3" ;;
  restart) restart_node "$3" ;;
esac
