#!/usr/bin/env bash
# A throwaway MariaDB server in a directory of its own, for tests, the demo and the benchmark.
#
#   db-server.sh start DIR [mariadbd option ...]   install (first time) and start; writes DIR/env
#   db-server.sh stop DIR                           stop the server (the directory stays)
#   db-server.sh destroy DIR                        stop it and remove DIR
#
# DIR/env holds the shell lines that point client programs at the server:
#   MYSQL_UNIX_PORT (socket), MYSQL_TCP_PORT (port on 127.0.0.1), VESTRAGEN_DB_DIR.
# The server runs as the user who starts it (root: with --user=root), compares names without
# regard to case (lower_case_table_names=1), listens on a free port of 127.0.0.1 and on
# DIR/mysqld.sock. The database user root logs in through the socket without password: for
# the OS user root by socket authentication; for anyone else with an empty password, which
# only that user can use, because DIR is made mode 0700 and root has no login over TCP. The
# program's own user is created by scripts/site.sh.
# Extra options are passed to mariadbd; FAKETIME in the environment runs it under faketime.
set -euo pipefail

die() { echo "db-server: $*" >&2; exit 1; }

free_port() {
  local p tries=0
  while [ $tries -lt 200 ]; do
    p=$(( 20000 + (RANDOM * 7 + $$) % 40000 ))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return 0; fi
    tries=$((tries + 1))
  done
  die "no free TCP port found"
}

# The server runs as the user who starts it; only root may name root.
as_root=(--user=root)
[ "$(id -u)" -eq 0 ] || as_root=()

install_db() {
  local dir=$1
  local auth=(--auth-root-authentication-method=socket)
  if [ "$(id -u)" -ne 0 ]; then
    # Socket authentication lets only the OS user of the same name in, so root@localhost,
    # which the scripts and tests use, gets an empty password instead (of the accounts made,
    # it is the only one for root, and a socket login only).
    echo "UPDATE mysql.global_priv SET priv = JSON_REMOVE(JSON_SET(priv," \
      "'$.plugin', 'mysql_native_password', '$.authentication_string', ''), '$.auth_or')" \
      "WHERE User = 'root' AND Host = 'localhost';" >"$dir/root-login.sql"
    auth+=(--auth-root-socket-user="$(id -un)" --extra-file="$dir/root-login.sql")
  fi
  mariadb-install-db --no-defaults "${as_root[@]}" --datadir="$dir/data" \
    --lower-case-table-names=1 --skip-test-db "${auth[@]}" \
    >"$dir/install.log" 2>&1 || { cat "$dir/install.log" >&2; die "mariadb-install-db failed"; }
}

# The options of every server of the test beds, the nodes of db-cluster.sh included: sets
# SERVER_ARGS for the server in DIR on PORT.
server_args() {
  local dir=$1 port=$2
  SERVER_ARGS=(--no-defaults "${as_root[@]}" --datadir="$dir/data"
    --socket="$dir/mysqld.sock" --port="$port" --bind-address=127.0.0.1
    --pid-file="$dir/mysqld.pid" --log-error="$dir/error.log"
    --lower-case-table-names=1 --skip-name-resolve --skip-log-bin
    --character-set-server=latin1 --collation-server=latin1_swedish_ci
    --innodb-buffer-pool-size=256M --max-connections=200)
}

ping_server() {
  mariadb-admin --no-defaults --socket="$1/mysqld.sock" -uroot ping >/dev/null 2>&1
}

start() {
  local dir=$1; shift
  mkdir -p "$dir"
  chmod 700 "$dir"
  dir=$(cd "$dir" && pwd)
  if [ -f "$dir/mysqld.pid" ] && kill -0 "$(cat "$dir/mysqld.pid")" 2>/dev/null; then
    die "a server already runs in $dir"
  fi
  [ -d "$dir/data/mysql" ] || install_db "$dir"
  local launcher=()
  if [ -n "${FAKETIME:-}" ]; then launcher=(faketime -f "$FAKETIME"); fi
  local attempt port
  for attempt in 1 2 3 4 5; do
    port=$(free_port)
    rm -f "$dir/mysqld.sock" "$dir/mysqld.pid"
    # setsid: the server must outlive the shell that started it, and must not get the
    # terminal's signals.
    server_args "$dir" "$port"
    setsid "${launcher[@]}" mariadbd "${SERVER_ARGS[@]}" "$@" </dev/null >/dev/null 2>&1 &
    local i
    for i in $(seq 1 300); do
      if ping_server "$dir"; then
        cat >"$dir/env" <<EOF
export MYSQL_UNIX_PORT='$dir/mysqld.sock'
export MYSQL_TCP_PORT='$port'
export VESTRAGEN_DB_DIR='$dir'
EOF
        return 0
      fi
      if ! kill -0 $! 2>/dev/null; then break; fi
      sleep 0.1
    done
    kill $! 2>/dev/null || true
    wait $! 2>/dev/null || true
    # A port taken between probe and bind makes the server give up: try another port.
    grep -q -i "address already in use\|Can't start server: Bind" "$dir/error.log" 2>/dev/null || break
  done
  tail -n 30 "$dir/error.log" >&2 || true
  die "server in $dir did not start"
}

stop() {
  local dir=$1
  [ -d "$dir" ] || return 0
  local pid=""
  [ -f "$dir/mysqld.pid" ] && pid=$(cat "$dir/mysqld.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    local i
    for i in $(seq 1 300); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/mysqld.pid" "$dir/env"
}

# db-cluster.sh sources this file for its helpers.
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

case "${1:-}" in
  start) [ $# -ge 2 ] || die "usage: $0 start DIR [option ...]"; dir=$2; shift 2; start "$dir" "$@" ;;
  stop) [ $# -eq 2 ] || die "usage: $0 stop DIR"; stop "$2" ;;
  destroy) [ $# -eq 2 ] || die "usage: $0 destroy DIR"; stop "$2"; rm -rf "$2" ;;
  *) die "usage: $0 start|stop|destroy DIR" ;;
esac
