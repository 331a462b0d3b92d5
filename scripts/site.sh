#!/usr/bin/env bash
# Sets up the database of a site on a server that MYSQL_UNIX_PORT points at (root through
# the socket):
#   site.sh init [PASSWORD]     central schema KvBasis, the program's user 'vestragen' with
#                               PASSWORD (default: vestragen) and its grants
#   site.sh client SCHEMA ...   one client schema each, with its tables and SELECT for the user
#   site.sh cluster             what a site on a Galera cluster adds (sql/cluster.sql), after init
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sql=$here/../sql
db() { mariadb --no-defaults -uroot "$@"; }

case "${1:-}" in
  init)
    pw=${2:-vestragen}
    db <"$sql/kvbasis.sql"
    db -e "CREATE USER IF NOT EXISTS 'vestragen'@'%' IDENTIFIED BY '${pw//\'/\'\'}'"
    db <"$sql/grants.sql"
    ;;
  client)
    shift
    for s in "$@"; do
      db -e "CREATE DATABASE IF NOT EXISTS \`$s\` CHARACTER SET latin1"
      db "$s" <"$sql/client.sql"
      db -e "GRANT SELECT ON \`$s\`.* TO 'vestragen'@'%'"
    done
    ;;
  cluster) db <"$sql/cluster.sql" ;;
  *) echo "usage: $0 init [PASSWORD] | client SCHEMA ... | cluster" >&2; exit 1 ;;
esac
