#!/usr/bin/env bash
# Spot checks of a loaded benchmark site, on the server MYSQL_UNIX_PORT points at (root
# through the socket): per client schema of the terminal, what the badge query returns and
# how the class-0 badges among its rows are resolved, counted with the same conditions as
# the program's queries, and how many rows find previous-day, vacation and location data.
#
#   bench/site_checks.sh [TERMINAL [CONFIG_SCHEMA]]     (default BENCH1 BMND01)
#
# "resolves" counts every source that has a valid assignment for a row, "first" only the
# source that the program's fixed order asks first with success.
set -euo pipefail
terminal=${1:-BENCH1}
config_schema=${2:-BMND01}
db() { mariadb --no-defaults -uroot --batch --skip-column-names "$@"; }

# today between from and to, both included, a NULL bound open, both NULL never
valid() { echo "((CURDATE() >= $1 AND $2 IS NULL) OR (CURDATE() <= $2 AND $1 IS NULL) OR (CURDATE() >= $1 AND CURDATE() <= $2))"; }
active() { echo "(($1 <> 4 AND $1 <> 8) OR $1 IS NULL)"; }

bzu="$(valid BzuGvo BzuGbi) AND $(active BzuSta)"
zuo="$(valid ZuoGvo ZuoGbi) AND $(active ZuoSta)"

schemas=$(db -e "SELECT MndSch FROM KvBasis.Kvb112Mnd, KvBasis.Kvb115Tfz
  WHERE MndKon <> 1 AND TfzTrm = '$terminal' AND MndLiz = TfzLiz AND MndNum = TfzMnd
  AND $(active MndSta) AND $(active TfzSta) ORDER BY MndNum")

# One session: the temporary tables of every schema first, then two result tables.
sql=""
totals=""
details=""
for s in $schemas; do
  sql+="CREATE TEMPORARY TABLE checks_$s AS
SELECT a.AswNum, a.AswPnr, a.AswBkl,
  EXISTS (SELECT 1 FROM \`$s\`.Kvb408Bzu WHERE BzuZau = a.AswGrp AND $bzu) AS s1,
  EXISTS (SELECT 1 FROM \`$s\`.Kvb311Zuo, \`$s\`.Kvb408Bzu
          WHERE ZuoPnr = a.AswPnr AND ZuoKst = BzuKst AND $zuo AND $bzu) AS s2,
  EXISTS (SELECT 1 FROM \`$s\`.O1003Kststelle, \`$s\`.Kvb311Zuo, \`$s\`.Kvb408Bzu
          WHERE ZuoPnr = a.AswPnr AND ZuoKst = KstNum AND KstVws = BzuVks AND $zuo AND $bzu
          AND $(active KstSta)) AS s3,
  EXISTS (SELECT 1 FROM \`$s\`.Kvb311Zuo, \`$s\`.Kvb408Bzu
          WHERE ZuoPnr = a.AswPnr AND ZuoAbt = BzuAbt AND $zuo AND $bzu) AS s4,
  EXISTS (SELECT 1 FROM \`$s\`.G1102AbtLst, \`$s\`.Kvb311Zuo, \`$s\`.Kvb408Bzu
          WHERE ZuoPnr = a.AswPnr AND ZuoAbt = AblAbt AND AblVab = BzuVab AND $zuo AND $bzu
          AND $(active AblSta)) AS s5,
  EXISTS (SELECT 1 FROM \`$s\`.Kvb310Bsv, \`$s\`.Kvb408Bzu
          WHERE BsvPnr = a.AswPnr AND BsvAkr = BzuAkr AND $(valid BsvGvo BsvGbi)
          AND $(active BsvSta) AND $bzu) AS s6,
  EXISTS (SELECT 1 FROM \`$config_schema\`.Kvb320Tgb, \`$config_schema\`.Kvb300Pnr
          WHERE TGBPNR = a.AswPnr AND TGBZTR = 1
          AND date_format(TGBDTM, '%Y%m%d') = CURDATE() - 1 AND TGBPNR = PNRNUM
          AND $(active PnrSta)) AS day_row,
  EXISTS (SELECT 1 FROM \`$s\`.Kvb332Utg, \`$s\`.Kvb300Pnr
          WHERE UTGPNR = a.AswPnr AND date_format(UtgDtm, '%Y%m%d') <= CURDATE() + 0
          AND UTGPNR = PNRNUM AND $(active PnrSta)) AS vacation_day,
  EXISTS (SELECT 1 FROM \`$s\`.Kvb332Urv, \`$s\`.Kvb300Pnr
          WHERE URVPNR = a.AswPnr AND URVJHR = date_format(CURDATE(), '%Y')
          AND URVPNR = PNRNUM AND $(active PnrSta)) AS entitlement,
  EXISTS (SELECT 1 FROM KvBasis.Kvb113Sto, KvBasis.Kvb113Awv
          WHERE AwvNum = a.AswNum AND StoNum = AwvSto AND $(active AwvSta)
          AND $(active StoSta)) AS location_text
FROM (SELECT AswNum, AswPnr, AswBkl, AswGrp
      FROM KvBasis.Kvb301Asw, KvBasis.Kvb112Mnd, KvBasis.Kvb113Awv
      WHERE MNDSCH = '$s' AND ASWLIZ = MNDLIZ AND ASWMND = MNDNUM AND ASWNUM = AWVNUM
      AND $(valid AswGvo AswGbi) AND $(active AwvSta) AND $(active AswSta)) a;
"
  [ -z "$totals" ] || totals+=" UNION ALL "
  totals+="SELECT '$s' AS client, COUNT(*) AS badge_rows, COUNT(DISTINCT AswNum) AS numbers,
  SUM(AswBkl IS NULL) AS class_null, SUM(AswBkl = '0') AS class_0,
  SUM(AswBkl = '0' AND s1) AS s1_group, SUM(AswBkl = '0' AND s2) AS s2_cost_centre,
  SUM(AswBkl = '0' AND s3) AS s3_cc_group, SUM(AswBkl = '0' AND s4) AS s4_department,
  SUM(AswBkl = '0' AND s5) AS s5_dept_list, SUM(AswBkl = '0' AND s6) AS s6_person,
  SUM(AswBkl = '0' AND NOT (s1 OR s2 OR s3 OR s4 OR s5 OR s6)) AS by_none
  FROM checks_$s"
  [ -z "$details" ] || details+=" UNION ALL "
  details+="SELECT '$s' AS client,
  SUM(AswBkl = '0' AND s1) AS first_s1,
  SUM(AswBkl = '0' AND NOT s1 AND s2) AS first_s2,
  SUM(AswBkl = '0' AND NOT (s1 OR s2) AND s3) AS first_s3,
  SUM(AswBkl = '0' AND NOT (s1 OR s2 OR s3) AND s4) AS first_s4,
  SUM(AswBkl = '0' AND NOT (s1 OR s2 OR s3 OR s4) AND s5) AS first_s5,
  SUM(AswBkl = '0' AND NOT (s1 OR s2 OR s3 OR s4 OR s5) AND s6) AS first_s6,
  SUM(day_row) AS tgb_yesterday, SUM(vacation_day) AS utg_row, SUM(entitlement) AS urv_row,
  SUM(location_text) AS location_text
  FROM checks_$s"
done
[ -n "$schemas" ] || { echo "site_checks: terminal $terminal serves no client schema" >&2; exit 1; }
echo "Per client: the badge query's rows, the class-0 rows each source resolves (s1 to s6,"
echo "by_none: no source); then the source the program's order finds first, and the rows with"
echo "previous-day data (read from $config_schema), vacation days, entitlement and location text."
mariadb --no-defaults -uroot --table KvBasis <<EOF
$sql
$totals;
$details;
EOF
