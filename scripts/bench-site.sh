#!/usr/bin/env bash
# Measures a whole site: many terminals run through vestragen-site. Builds build-bench-site/
# (RelWithDebInfo), starts one throwaway MariaDB server with its default durability settings
# (each COMMIT is flushed, as on a production server), generates and loads the benchmark's
# site with bench_site_generator, adds terminals SITE01... that serve every client schema,
# each with readers of its own, and writes a job file with one job per terminal (the five
# functions in turn). Then it times the jobs one after another (a shell loop, and
# vestragen-site -j 1) and vestragen-site -j 2, and prints one table. Stops the server and
# removes everything at the end.
#
#   scripts/bench-site.sh [--terminals N] [--badges-per-schema N] [--schemas N] [--seed N]
#                         [--runs N]
#
# Defaults: 20 terminals, 3 schemas of 10000 badge numbers, seed 1, 3 runs of each mode.
#
# Columns: the median and the shortest wall time of the whole site (the shortest is the one
# least disturbed by anything else the machine does); the sum of the jobs' own times (from the
# metrics file; for the loop the loop's time); the median's speed-up over the shell loop;
# the CPU seconds the runs took (user + system of the runner and its vestragen processes,
# from the shell's `times`) and those the server took (from /proc), medians. The download
# files of the modes are compared byte for byte; a difference ends the script with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."
project=$(pwd)

die() { echo "bench-site: $*" >&2; exit 2; }

terminals=20
badges=10000
schemas=3
seed=1
runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --terminals) [ $# -ge 2 ] || die "$1 wants a value"; terminals=$2; shift 2 ;;
    --badges-per-schema) [ $# -ge 2 ] || die "$1 wants a value"; badges=$2; shift 2 ;;
    --schemas) [ $# -ge 2 ] || die "$1 wants a value"; schemas=$2; shift 2 ;;
    --seed) [ $# -ge 2 ] || die "$1 wants a value"; seed=$2; shift 2 ;;
    --runs) [ $# -ge 2 ] || die "$1 wants a value"; runs=$2; shift 2 ;;
    *) die "unknown argument $1 (see the head of $0)" ;;
  esac
done
[[ "$terminals" =~ ^[1-9][0-9]?$ ]] || die "--terminals wants 1 to 99"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || die "--runs wants a positive number"

scripts/install-deps.sh
cmake -S . -B build-bench-site -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTRAGEN_WERROR=ON \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench-site -j2 \
  --target vestragen vestragen-config vestragen-site bench_site_generator >/dev/null
bin=$project/build-bench-site

work=$(mktemp -d /tmp/vestragen-bench-site-XXXXXX)
cleanup() { "$project/scripts/db-server.sh" destroy "$work/db" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

scripts/db-server.sh start "$work/db"
. "$work/db/env"
server_pid=$(cat "$work/db/mysqld.pid")

password=bench-$$-$RANDOM
"$bin/bench_site_generator" --schemas "$schemas" --badges-per-schema "$badges" --seed "$seed" \
  --out "$work/data" >"$work/generator.txt"
"$work/data/load.sh" "$project" "$password"

# The terminals: each serves every client schema and has readers 1 to 4 + (n mod 8), whose
# zones (of the generator's eight) are shifted by the terminal's number, so that each
# terminal lets other classes in.
root_sql() { mariadb --no-defaults -uroot --batch --skip-column-names "$@"; }
functions=(ZKDNL17P ZKDNL18P ZKDNL31P ZKDNL60P IDSTAMM)
{
  for ((t = 1; t <= terminals; t++)); do
    name=$(printf "SITE%02d" "$t")
    echo "INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSpr, TsmSta) VALUES" \
      "('$name', '7744-010', 'BSAL1', 1, NULL);"
    for ((c = 1; c <= schemas; c++)); do
      echo "INSERT INTO KvBasis.Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES ('$name', 1, $c, NULL);"
    done
    for ((r = 1; r <= 4 + t % 8; r++)); do
      printf "INSERT INTO KvBasis.Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES ('%s', %d, 'ZONE%02d', NULL);\n" \
        "$name" "$r" $(((t + r) % 8 + 1))
    done
  done
} | root_sql

mkdir -p "$work/site/files" "$work/site/bin/run" "$work/site/out"
echo "$password" | "$bin/vestragen-config" --file "$work/site/files/korvandel.ini" \
  setup vestragen - localhost BMND01 >/dev/null
jobs=$work/site/jobs
echo "cd $work/site/bin/run" >"$jobs"
for ((t = 1; t <= terminals; t++)); do
  printf "%s SITE%02d ../../out/SITE%02d.dat\n" "${functions[$(((t - 1) % 5))]}" "$t" "$t" >>"$jobs"
done

now() { date +%s.%N; }
# The CPU time of this shell's waited-for children (and theirs): `times` in this shell, not
# in a subshell, whose own children start at zero.
cpu_seconds() { tail -1 "$work/times" | awk '{ gsub(/[ms]/, " "); print $1 * 60 + $2 + $3 * 60 + $4 }'; }
server_cpu() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$server_pid/stat"; }

# One mode, once; sets wall, job_sum, cpu, server.
run_mode() {
  local mode=$1 t0 c0 s0
  rm -rf "$work/site/out" && mkdir -p "$work/site/out"
  times >"$work/times"
  c0=$(cpu_seconds) s0=$(server_cpu) t0=$(now)
  case "$mode" in
    loop)
      (
        cd "$work/site/bin/run"
        tail -n +2 "$jobs" | while read -r fn terminal path; do
          "$bin/vestragen" "$fn" "$terminal" "$path" 1 >/dev/null || echo "bench-site: $fn $terminal failed" >&2
        done
      ) ;;
    *)
      "$bin/vestragen-site" -j "${mode#j}" --log "$work/site.log" --metrics "$work/site.prom" \
        "$jobs" >/dev/null || die "vestragen-site -j ${mode#j} failed (see the log)"
      ;;
  esac
  wall=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }')
  times >"$work/times"
  cpu=$(awk -v a="$c0" -v b="$(cpu_seconds)" 'BEGIN { printf "%.2f", b - a }')
  server=$(awk -v a="$s0" -v b="$(server_cpu)" 'BEGIN { printf "%.2f", b - a }')
  if [ "$mode" = loop ]; then
    job_sum=$wall
  else
    job_sum=$(awk '/^vestragen_site_job_duration_seconds/ { s += $2 } END { printf "%.3f", s }' \
      "$work/site.prom")
  fi
}

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END {
  if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

modes=(loop j1 j2)
declare -A walls sums cpus servers
run_mode j1  # warms the server's caches; not counted
failed=0
for ((r = 1; r <= runs; r++)); do
  for mode in "${modes[@]}"; do
    run_mode "$mode"
    walls[$mode]+=" $wall" sums[$mode]+=" $job_sum" cpus[$mode]+=" $cpu" servers[$mode]+=" $server"
    if [ "$mode" = loop ]; then
      rm -rf "$work/out.loop" && cp -r "$work/site/out" "$work/out.loop"
    elif ! diff -r -q "$work/out.loop" "$work/site/out" >/dev/null; then
      echo "bench-site: the files of $mode differ from the loop's" >&2
      failed=1
    fi
  done
done

echo
echo "VESTRAGEN site benchmark, $(root_sql -e 'SELECT CURDATE()'), MariaDB $(root_sql -e 'SELECT VERSION()'), $(nproc) cores"
echo "site: $schemas client schemas x $badges badge numbers (seed $seed), $terminals terminals" \
  "each serving every schema with readers of its own; one job per terminal, the five" \
  "functions in turn; $runs run(s) per mode"
echo
printf "%-34s %10s %8s %10s %9s %10s %10s\n" mode "median s" "best s" "jobs' s" speed-up "CPU s" \
  "server s"
loop_median=$(median <<<"${walls[loop]}")
declare -A names=([loop]="one after another (shell loop)" [j1]="vestragen-site -j 1" \
  [j2]="vestragen-site -j 2")
for mode in "${modes[@]}"; do
  m=$(median <<<"${walls[$mode]}")
  best=$(tr ' ' '\n' <<<"${walls[$mode]}" | sed '/^$/d' | sort -g | head -1)
  printf "%-34s %10s %8s %10s %9s %10s %10s\n" "${names[$mode]}" "$m" "$best" \
    "$(median <<<"${sums[$mode]}")" \
    "$(awk -v a="$loop_median" -v b="$m" 'BEGIN { printf "%.2f", a / b }')" \
    "$(median <<<"${cpus[$mode]}")" "$(median <<<"${servers[$mode]}")"
done
echo
echo "wall times of the runs (s):"
for mode in "${modes[@]}"; do printf "  %-34s%s\n" "${names[$mode]}" "${walls[$mode]}"; done
exit "$failed"
