#!/usr/bin/env bash
# Measures the download functions on a generated site. Builds build-bench/ (RelWithDebInfo),
# starts one throwaway MariaDB server with its default durability settings (each COMMIT is
# flushed, as on a production server), generates and loads a site with
# bench_site_generator, writes the configuration file, runs each function against terminal
# BENCH1 and prints one table. In the same run and on the same server it times the baseline:
# the mariadb client running the badge query for every client schema of BENCH1 and writing
# the rows to a file; and the design floor: the mariadb client doing the work no run can
# skip, the badge query of every client schema, the staging of the records of ZKDNL31P as a
# run stages them (clearing the file's rows, INSERTs of 5000 rows, each committed) and
# reading them back sorted. Stops the server and removes everything at the end.
#
#   scripts/bench.sh [--badges-per-schema N | --badges-total N] [--schemas N] [--seed N]
#                    [--runs N] [--functions "ZKDNL31P IDSTAMM ..."] [--checks]
#                    [--keep DIR] [--compare DIR] [--reference]
#                    [--staging-index none|tmpusr|full]
#
# Defaults: 3 schemas of 10000 badge numbers, seed 1, 3 runs, all five functions, staging
# table without index.
# --staging-index the indexes of the staging table Kvb999Tmp: none (as a production table may
#            have), tmpusr (an index on TmpUsr) or full (the project's own, on TmpUsr, TmpStr).
# --checks   prints the site's spot checks (bench/site_checks.sh) before the measurements.
# --keep DIR copies each function's download file and console output (FN.dat, FN.stdout) of
#            the last run to DIR, with the site's size, seed and date in DIR/bench.meta.
# --reference runs each function once more with VESTRAGEN_PER_BADGE=1 (the program sending
#            every statement per badge, as originally designed), after all measured runs, shows
#            that run as its own row and compares its download file and console output byte for
#            byte with the measured runs'; any difference ends the benchmark with status 1.
# --compare DIR compares them byte for byte with those kept in DIR and ends with status 1
#            on any difference. Compare runs of the same size and seed on the same day: the
#            site's dates and the records follow the day of loading.
#
# Each row's program runs once unmeasured first. Before each row's runs the staging table is
# left with the rows of that row's own download file only (those of its previous run, as a
# run finds them): rows of other files would slow every run down on a table without index,
# by how many there happen to be.
#
# Columns: median wall time of the runs; that time over the baseline's median; the program's
# median CPU time (user and system; the server's time is not in it); statements
# the server received per badge row (its global Questions counter before and after each
# run, less what reading the counter costs; badge rows: what the badge query returns over
# all client schemas of BENCH1); records in the download file (bytes / record width, lines
# for IDSTAMM); the program's peak resident memory; the exit status of each run.
set -euo pipefail
cd "$(dirname "$0")/.."
project=$(pwd)

die() { echo "bench: $*" >&2; exit 2; }

schemas=3
size_flag=(--badges-per-schema 10000)
seed=1
runs=3
functions="ZKDNL17P ZKDNL18P ZKDNL31P ZKDNL60P IDSTAMM"
checks=0
keep=""
compare=""
reference=0
staging_index=none
while [ $# -gt 0 ]; do
  case "$1" in
    --badges-per-schema | --badges-total) [ $# -ge 2 ] || die "$1 wants a value"
      size_flag=("$1" "$2"); shift 2 ;;
    --schemas) [ $# -ge 2 ] || die "$1 wants a value"; schemas=$2; shift 2 ;;
    --seed) [ $# -ge 2 ] || die "$1 wants a value"; seed=$2; shift 2 ;;
    --runs) [ $# -ge 2 ] || die "$1 wants a value"; runs=$2; shift 2 ;;
    --functions) [ $# -ge 2 ] || die "$1 wants a value"; functions=$2; shift 2 ;;
    --checks) checks=1; shift ;;
    --keep) [ $# -ge 2 ] || die "$1 wants a value"; keep=$2; shift 2 ;;
    --compare) [ $# -ge 2 ] || die "$1 wants a value"; compare=$2; shift 2 ;;
    --reference) reference=1; shift ;;
    --staging-index) [ $# -ge 2 ] || die "$1 wants a value"; staging_index=$2; shift 2 ;;
    *) die "unknown argument $1 (see the head of $0)" ;;
  esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || die "--runs wants a positive number"
[ -n "$functions" ] || die "--functions wants at least one code"
functions=${functions^^}  # the program's own reading; also names the kept files alike
case "$staging_index" in none | tmpusr | full) ;; *) die "--staging-index wants none, tmpusr or full" ;; esac
[ -z "$compare" ] || [ -f "$compare/bench.meta" ] || die "$compare/bench.meta not found"

scripts/install-deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTRAGEN_WERROR=ON >/dev/null
cmake --build build-bench -j2 \
  --target vestragen vestragen-config bench_site_generator bench_run_measured >/dev/null
bin=$project/build-bench

work=$(mktemp -d /tmp/vestragen-bench-XXXXXX)
cleanup() { "$project/scripts/db-server.sh" destroy "$work/db" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

scripts/db-server.sh start "$work/db"
. "$work/db/env"

password=bench-$$-$RANDOM
t0=$(now)
"$bin/bench_site_generator" --schemas "$schemas" "${size_flag[@]}" --seed "$seed" \
  --out "$work/data" >"$work/generator.txt"
generate_time=$(seconds_since "$t0")
t0=$(now)
"$work/data/load.sh" "$project" "$password"
load_time=$(seconds_since "$t0")

# The first client schema is the configuration's SCHEMA: the previous-day accounts are read
# from the connection's database, and the generator put most of that client's there.
config_schema=BMND01
mkdir -p "$work/site/files" "$work/site/bin/run" "$work/site/out"
echo "$password" | "$bin/vestragen-config" --file "$work/site/files/korvandel.ini" \
  setup vestragen - localhost "$config_schema" >/dev/null
cat >"$work/client.cnf" <<EOF
[client]
user=vestragen
password=$password
socket=$MYSQL_UNIX_PORT
EOF

root_sql() { mariadb --no-defaults -uroot --batch --skip-column-names "$@"; }
questions() { root_sql -e "SHOW GLOBAL STATUS LIKE 'Questions'" | cut -f2; }

# The project's definition indexes the staging table on (TmpUsr, TmpStr); the key is named
# after its first column.
case "$staging_index" in
  none) root_sql -e "ALTER TABLE KvBasis.Kvb999Tmp DROP INDEX TmpUsr" ;;
  tmpusr) root_sql -e "ALTER TABLE KvBasis.Kvb999Tmp DROP INDEX TmpUsr, ADD INDEX (TmpUsr)" ;;
  full) ;;
esac

# Leaves the staging table with the rows of download file $1 only.
staging_keep_only() {
  root_sql -e "DELETE FROM KvBasis.Kvb999Tmp WHERE TmpUsr <> '${1//\'/\'\'}'"
}

if [ "$checks" -eq 1 ]; then
  bench/site_checks.sh BENCH1 "$config_schema"
  echo
fi

# The baseline: the badge query of the badge selection for every client schema of the
# terminal, in the program's schema order, as the program's user.
client_schemas=$(root_sql -e "SELECT MndSch  FROM KvBasis.Kvb112Mnd, KvBasis.Kvb115Tfz  WHERE MndKon <> 1  AND   TfzTrm = 'BENCH1'  AND   MndLiz = TfzLiz  AND   MndNum = TfzMnd  AND ((MndSta <> 4 AND MndSta <> 8) OR MndSta IS NULL)  AND ((TfzSta <> 4 AND TfzSta <> 8) OR TfzSta IS NULL) ")
badge_query="SELECT  AswNum, date_format(AswGvo,'%%Y%%m%%d'), date_format(AswGbi,'%%Y%%m%%d'), AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AwvSto  FROM  KvBasis.Kvb301Asw, KvBasis.Kvb112Mnd, KvBasis.Kvb113Awv  WHERE MNDSCH = '%s'  AND ASWLIZ = MNDLIZ  AND ASWMND = MNDNUM  AND ASWNUM = AWVNUM  AND ((curdate() >= AswGvo AND AswGbi IS NULL)   OR (curdate() <= AswGbi AND AswGvo IS NULL)   OR (curdate() >= AswGvo AND curdate() <= AswGbi))  AND ((AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL)  AND ((AswSta <> 4 AND AswSta <> 8) OR AswSta IS NULL)  ORDER BY AswNum, AswGvo, AswBkl "
: >"$work/baseline.sql"
for s in $client_schemas; do
  # shellcheck disable=SC2059  # the query is the format, as in the program
  printf "$badge_query;\n" "$s" >>"$work/baseline.sql"
done

# What reading the counter adds to it, so that it can be taken off each measurement.
q1=$(questions)
q2=$(questions)
counter_cost=$((q2 - q1))

# Runs one measured command; sets wall, cpu, rss_kb, status, statements.
measure() {
  local before after line
  before=$(questions)
  line=$("$bin/bench_run_measured" "$@")
  after=$(questions)
  statements=$((after - before - counter_cost))
  wall=$(sed -E 's/.*wall_seconds=([0-9.]+).*/\1/' <<<"$line")
  cpu=$(sed -E 's/.*cpu_seconds=([0-9.]+).*/\1/' <<<"$line")
  rss_kb=$(sed -E 's/.*max_rss_kb=([0-9]+).*/\1/' <<<"$line")
  status=$(sed -E 's/.*status=([0-9]+).*/\1/' <<<"$line")
}

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END {
  if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A row_wall row_walls row_cpu row_statements row_rss row_status row_records row_records_of
summarise() {  # name walls cpus statements rss statuses records
  row_wall[$1]=$(median <<<"$2")
  row_walls[$1]=$2
  row_cpu[$1]=$(median <<<"$3")
  row_statements[$1]=$(median <<<"$4")
  row_rss[$1]=$5
  row_status[$1]=$(tr ' ' '\n' <<<"$6" | sed '/^$/d' | sort -u | paste -sd, -)
  row_records[$1]=$7
}

# Measures one row: an unmeasured run, then $runs measured ones of the command after --;
# sets walls, cpus, stmts, statuses and peak.
measure_runs() {
  walls="" cpus="" stmts="" statuses="" peak=0
  local r
  for ((r = 0; r <= runs; r++)); do
    measure "$@"
    [ "$r" -gt 0 ] || continue
    walls+=" $wall" cpus+=" $cpu" stmts+=" $statements" statuses+=" $status"
    if [ "$rss_kb" -gt "$peak" ]; then peak=$rss_kb; fi
  done
}

reference_functions=""
measure_runs --stdin "$work/baseline.sql" --stdout "$work/baseline.tsv" -- \
  mariadb --defaults-file="$work/client.cnf" --batch --skip-column-names
badges=$(wc -l <"$work/baseline.tsv")
summarise baseline "$walls" "$cpus" "$stmts" "$peak" "$statuses" "$badges"

# The design floor stages the records of a run of ZKDNL31P (fixed width 48, no line ends)
# under a key of its own, as the program stages them: the file's earlier rows deleted, then
# INSERTs of up to 5000 rows; every statement commits (autocommit), as the program commits
# each. The baseline's badge queries come first.
floor_key=../../out/design-floor.dat
(cd "$work/site/bin/run" && "$bin/vestragen" ZKDNL31P BENCH1 ../../out/floor-records.dat 1 \
  >/dev/null 2>&1 </dev/null) || true
staging_keep_only "$floor_key"
{
  cat "$work/baseline.sql"
  echo "DELETE FROM KvBasis.Kvb999Tmp WHERE TmpUsr = '$floor_key';"
  fold -b -w 48 "$work/site/out/floor-records.dat" | sed -e 's/\\/\\\\/g' -e "s/'/''/g" |
    awk -v key="$floor_key" -v q="'" '{
      head = n % 5000 == 0 ? (n ? ";\n" : "") "INSERT INTO KvBasis.Kvb999Tmp (TmpUsr, TmpStr) VALUES " : ", "
      printf "%s(%s%s%s, %s%s%s)", head, q, key, q, q, $0, q; n++ }
      END { if (n) print ";" }'
  echo "SELECT TmpStr FROM KvBasis.Kvb999Tmp WHERE TmpUsr = '$floor_key' ORDER BY TmpUsr, TmpStr;"
} >"$work/floor.sql"
floor_records=$(($(stat -c %s "$work/site/out/floor-records.dat") / 48))
rm -f "$work/site/out/floor-records.dat"
measure_runs --stdin "$work/floor.sql" --stdout "$work/floor.tsv" -- \
  mariadb --defaults-file="$work/client.cnf" --batch --skip-column-names
summarise "design floor" "$walls" "$cpus" "$stmts" "$peak" "$statuses" "$floor_records"

record_width() {
  case "$1" in
    ZKDNL17P) echo 85 ;; ZKDNL18P) echo 173 ;; ZKDNL31P) echo 48 ;; ZKDNL60P) echo 45 ;;
    *) echo 0 ;;
  esac
}

for fn in $functions; do
  staging_keep_only "../../out/$fn.dat"
  measure_runs --cwd "$work/site/bin/run" --stdout "$work/site/out/$fn.stdout" -- \
    "$bin/vestragen" "$fn" BENCH1 "../../out/$fn.dat" 1
  file=$work/site/out/$fn.dat
  width=$(record_width "$fn")
  if [ ! -f "$file" ]; then
    records="no file"
  elif [ "$width" -gt 0 ]; then
    size=$(stat -c %s "$file")
    records=$((size / width))
    [ $((size % width)) -eq 0 ] || records="$records+$((size % width))B"
  else
    records=$(wc -l <"$file")
  fi
  summarise "$fn" "$walls" "$cpus" "$stmts" "$peak" "$statuses" "$records"
  row_records_of[$fn]=$records
done

# The per-badge runs come after all measured ones: the tens of thousands of single-row
# commits such a run makes, and the purge of its rows, keep the server busy for a while after
# it.
if [ "$reference" -eq 1 ]; then
  for fn in $functions; do
    staging_keep_only "../../out/$fn.ref.dat"
    measure --cwd "$work/site/bin/run" --stdout "$work/site/out/$fn.ref.stdout" -- \
      env VESTRAGEN_PER_BADGE=1 "$bin/vestragen" "$fn" BENCH1 "../../out/$fn.ref.dat" 1
    summarise "$fn/ref" "$wall" "$cpu" "$statements" "$rss_kb" "$status" "${row_records_of[$fn]}"
    reference_functions+=" $fn"
  done
fi

total_badges=$(sed -n 's/.* \([0-9]*\) badge numbers.*/\1/p' "$work/generator.txt")
today=$(root_sql -e "SELECT CURDATE()")
echo
echo "VESTRAGEN benchmark, $today, MariaDB $(root_sql -e 'SELECT VERSION()'), build-bench (RelWithDebInfo)"
echo "site: $schemas client schemas, $total_badges badge numbers, seed $seed; generated in" \
  "${generate_time} s, loaded in ${load_time} s"
echo "terminal BENCH1: $badges badge rows over its client schemas; $runs run(s) per function;" \
  "staging table index: $staging_index"
echo
printf "%-12s %10s %11s %8s %12s %11s %10s %12s  %s\n" function "median s" "x baseline" \
  "CPU s" "stmts/badge" statements records "peak RSS MB" exit
rows="baseline design_floor"
row_names() { [ "$1" = design_floor ] && echo "design floor" || echo "$1"; }
for fn in $functions; do
  rows+=" $fn"
  [ "$reference" -eq 0 ] || rows+=" $fn/ref"
done
for row in $rows; do
  name=$(row_names "$row")
  printf "%-12s %10s %11s %8s %12s %11s %10s %12s  %s\n" "$name" "${row_wall[$name]}" \
    "$(awk -v a="${row_wall[$name]}" -v b="${row_wall[baseline]}" \
      'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')" \
    "${row_cpu[$name]}" \
    "$(awk -v s="${row_statements[$name]}" -v n="$badges" \
      'BEGIN { if (n > 0) printf "%.2f", s / n; else print "-" }')" \
    "$(awk -v s="${row_statements[$name]}" 'BEGIN { printf "%d", s }')" \
    "${row_records[$name]}" \
    "$(awk -v k="${row_rss[$name]}" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "${row_status[$name]}"
done

echo
echo "wall times of the runs (s):"
for row in $rows; do
  name=$(row_names "$row")
  printf "  %-12s%s\n" "$name" "$(awk '{ for (i = 1; i <= NF; i++) printf " %.3f", $i }' \
    <<<"${row_walls[$name]}")"
done

meta="schemas=$schemas ${size_flag[*]} seed=$seed date=$today"
failed=0
if [ "$reference" -eq 1 ]; then
  echo
  for fn in $reference_functions; do
    for ext in dat stdout; do
      if cmp -s "$work/site/out/$fn.$ext" "$work/site/out/$fn.ref.$ext"; then
        echo "reference: $fn.$ext identical to the per-badge run's"
      else
        echo "reference: $fn.$ext DIFFERS from the per-badge run's"
        failed=1
      fi
    done
  done
fi
if [ -n "$compare" ]; then
  echo
  kept_meta=$(cat "$compare/bench.meta")
  if [ "$kept_meta" != "$meta" ]; then
    echo "compare: the kept files are of another site or day: $kept_meta (now: $meta)"
    failed=1
  fi
  for fn in $functions; do
    for ext in dat stdout; do
      if cmp -s "$work/site/out/$fn.$ext" "$compare/$fn.$ext"; then
        echo "compare: $fn.$ext identical"
      else
        echo "compare: $fn.$ext DIFFERS from $compare/$fn.$ext"
        failed=1
      fi
    done
  done
fi
if [ -n "$keep" ]; then
  mkdir -p "$keep"
  for fn in $functions; do
    for ext in dat stdout; do
      rm -f "$keep/$fn.$ext"
      [ ! -f "$work/site/out/$fn.$ext" ] || cp "$work/site/out/$fn.$ext" "$keep/$fn.$ext"
    done
  done
  echo "$meta" >"$keep/bench.meta"
  echo "kept the output files in $keep"
fi
exit "$failed"
