#!/usr/bin/env bash
# The program against a three-node Galera cluster on loopback: starts the cluster in
# BUILD/test-cluster, loads the demo site and the cluster's tables on it, runs
# BUILD/cluster_tests and removes the cluster again. The test command runs it after the
# optimised build's tests.
#
#   test-cluster.sh [BUILD]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
dir=$build/test-cluster
scripts/db-cluster.sh destroy "$dir" >/dev/null 2>&1 || true
trap 'scripts/db-cluster.sh destroy "$dir" >/dev/null 2>&1 || true' EXIT
scripts/db-cluster.sh start "$dir" 3
(
  . "$dir/env"
  scripts/site.sh init vestragen-test-pw
  scripts/site.sh client MNDNORD MNDSUED MNDWEST
  mariadb --no-defaults -uroot <scripts/demo-site.sql
  scripts/site.sh cluster
)
VESTRAGEN_CLUSTER_DIR=$dir VESTRAGEN_DB_DIR=$dir/node1 "$build/cluster_tests"
