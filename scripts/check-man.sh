#!/usr/bin/env bash
# Checks that every man page of man/ renders without a warning: groff with all warnings on,
# as man runs it for a terminal (-Tutf8) and for print (the default device), and man -l
# where man-db is installed. Any output fails, and so does a page whose title line names
# another version than project() in CMakeLists.txt. Exits 77 (ctest: skipped) without groff.
#
#   scripts/check-man.sh [PAGE ...]     (default: every page in man/)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v groff >/dev/null || { echo "check-man: groff is not installed; skipped"; exit 77; }
if [ $# -eq 0 ]; then set -- man/*.[1-8]; fi

failed=0
check() {  # page description command...
  local page=$1 what=$2 out
  shift 2
  out=$("$@" 2>&1 >/dev/null) || out+="${out:+$'\n'}(exit status $?)"
  if [ -n "$out" ]; then
    echo "check-man: $page ($what):"
    sed 's/^/    /' <<<"$out"
    failed=1
  fi
}
version=$(sed -n 's/^project(vestragen VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for page in "$@"; do
  if ! grep -q "^\.TH .* \"vestragen $version\"" "$page"; then
    echo "check-man: $page: the .TH line does not name \"vestragen $version\""
    failed=1
  fi
  check "$page" "groff -Tutf8" groff -man -ww -z -Tutf8 "$page"
  check "$page" "groff" groff -man -ww -z "$page"
  if command -v man >/dev/null; then
    check "$page" "man -l" env LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page"
  fi
done
[ "$failed" -eq 0 ] && echo "check-man: $# pages render without warnings"
exit "$failed"
