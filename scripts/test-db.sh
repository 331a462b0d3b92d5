#!/usr/bin/env bash
# The test suite's server: started once per ctest run (fixture db_server), stopped after.
#   test-db.sh start DIR | stop DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
case "${1:-}" in
  start)
    "$here/db-server.sh" destroy "$2"
    "$here/db-server.sh" start "$2" --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0
    . "$2/env"
    "$here/site.sh" init vestragen-test-pw
    "$here/site.sh" client MNDA MNDB
    ;;
  stop) "$here/db-server.sh" destroy "$2" ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 1 ;;
esac
