#!/usr/bin/env bash
# Checks the systemd units of packaging/systemd with systemd-analyze verify, as the package
# installs them but with ExecStart's program taken from BUILD_DIR (verify wants it to exist).
# Any output fails: systemd only warns about an unknown or misspelt setting. Exits 77 (ctest:
# skipped) where systemd-analyze is not installed.
#
#   scripts/check-units.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
command -v systemd-analyze >/dev/null ||
  { echo "check-units: systemd-analyze is not installed; skipped"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for unit in packaging/systemd/*.service packaging/systemd/*.timer; do
  sed "s|/usr/bin/vestragen-site|$build/vestragen-site|g" "$unit" >"$tmp/$(basename "$unit")"
done
# The man pages of Documentation= need not be installed here.
status=0
out=$(cd "$tmp" && systemd-analyze verify --man=no ./*.service ./*.timer 2>&1) || status=$?
if [ "$status" -ne 0 ] || [ -n "$out" ]; then
  printf 'check-units: systemd-analyze verify (exit status %d):\n%s\n' "$status" "$out"
  exit 1
fi
echo "check-units: $(ls "$tmp" | wc -l) units verified"
