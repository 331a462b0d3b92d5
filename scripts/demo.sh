#!/usr/bin/env bash
# The main job on a built-in demo site: builds the program, starts a throwaway MariaDB server,
# loads a small sample site (scripts/demo-site.sql), writes the configuration file with
# vestragen-config, runs every download function for the gate terminal TOR1 and shows the
# console messages and the files, then what vestragen-inspect makes of them: one file decoded,
# why one badge is refused, and the check of the site; then runs the five functions for both
# terminals as one job file with vestragen-site and shows its summary, log, metrics and run
# reports. Stops the server and removes everything at the end.
#
#   scripts/demo.sh [TERMINAL]     (TOR1 or KANTINE; default TOR1)
set -euo pipefail
cd "$(dirname "$0")/.."
project=$(pwd)
terminal=${1:-TOR1}

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTRAGEN_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)" --target vestragen vestragen-config vestragen-inspect \
  vestragen-site >/dev/null

work=$(mktemp -d /tmp/vestragen-demo-XXXXXX)
cleanup() { "$project/scripts/db-server.sh" destroy "$work/db" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

echo "== Starting a throwaway MariaDB server and loading the demo site"
scripts/db-server.sh start "$work/db"
. "$work/db/env"
scripts/site.sh init demo-password
scripts/site.sh client MNDNORD MNDSUED MNDWEST
mariadb --no-defaults -uroot <scripts/demo-site.sql

# The program reads ../../files/korvandel.ini relative to its working directory.
mkdir -p "$work/site/files" "$work/site/bin/run" "$work/site/out"
echo
echo "== Writing the configuration file with vestragen-config"
echo "demo-password" | build/vestragen-config --file "$work/site/files/korvandel.ini" \
  setup vestragen - localhost MNDNORD
build/vestragen-config --file "$work/site/files/korvandel.ini" list

# Console texts are Windows-1252; shown here converted for this terminal.
show_console() { iconv -f WINDOWS-1252 -t UTF-8; }

run() {
  local fn=$1 width=$2 file="$work/site/out/$1.dat"
  echo
  echo "== vestragen $fn $terminal ../../out/$fn.dat 1"
  local status=0
  (cd "$work/site/bin/run" && "$project/build/vestragen" "$fn" "$terminal" "../../out/$fn.dat" 1) \
    >"$work/console.txt" || status=$?
  show_console <"$work/console.txt"
  echo "-- exit status $status; $(wc -c <"$file" 2>/dev/null || echo 0) bytes in $fn.dat"
  [ -f "$file" ] || return 0
  if [ "$width" -gt 0 ]; then
    echo "-- records of $width characters, shown one per line (the file has no line ends):"
    fold -w "$width" "$file" | sed 's/^/|/; s/$/|/' | show_console
    echo
  else
    echo "-- lines, each ending in CR LF in the file (shown without the CR):"
    tr -d '\r' <"$file" | show_console
  fi
}

run ZKDNL17P 85
run ZKDNL18P 173
run ZKDNL31P 48
run ZKDNL60P 45
run IDSTAMM 0

# The inspector reads the same configuration file, from the same directory, and prints UTF-8.
inspect() {
  echo
  echo "== vestragen-inspect $*"
  local status=0
  (cd "$work/site/bin/run" && "$project/build/vestragen-inspect" "$@") || status=$?
  echo "-- exit status $status"
}
inspect show ZKDNL31P ../../out/ZKDNL31P.dat
inspect explain "$terminal" 10009 ZKDNL31P
inspect check "$terminal"

echo
echo "== The whole site: the five functions for both terminals from one job file"
{
  echo "# FUNCTION TERMINAL PATH [NEWFILE]; the jobs run in bin/run, as the scheduler starts them"
  echo "cd bin/run"
  for t in TOR1 KANTINE; do
    for fn in ZKDNL17P ZKDNL18P ZKDNL31P ZKDNL60P IDSTAMM; do
      echo "$fn $t ../../site-out/$t-$fn.dat"
    done
  done
} >"$work/site/jobs"
mkdir -p "$work/site/site-out" "$work/site/reports"
cat "$work/site/jobs"
echo
echo "== vestragen-site -j 2 --log site.log --metrics site.prom --report reports jobs"
status=0
(cd "$work/site" && "$project/build/vestragen-site" -j 2 --log site.log --metrics site.prom \
  --report reports jobs) || status=$?
echo "-- exit status $status"
echo "-- the log (UTF-8, a time, the function and the terminal before each line): the refusals"
echo "   and the end of each job:"
grep -E ' \| Ausweis [0-9]+ (ohne|auf)| ended: ' "$work/site/site.log"
echo "-- the metrics of one job, and the site's:"
grep -E '^vestragen_site_job_[a-z_]+\{function="ZKDNL31P",terminal="KANTINE"|^vestragen_site_(jobs|exit)' \
  "$work/site/site.prom"
echo "-- the run reports, and the one of ZKDNL31P for KANTINE:"
ls "$work/site/reports"
cat "$work/site/reports/0010-ZKDNL31P-KANTINE.jsonl"
echo
echo "== Done; the server is stopped and the demo directory removed."
