#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, when missing; with
# the argument "package", only those that building the Debian package needs
# (scripts/package.sh). Installs nothing, and asks for no rights, when nothing is missing.
#
#   scripts/install-deps.sh [package]
set -euo pipefail
build=(cmake g++ pkg-config libmariadb-dev)
case "${1:-}" in
  "") packages=("${build[@]}" libgtest-dev mariadb-server mariadb-client faketime clang
                libclang-rt-14-dev groff-base galera-4 rsync openssl) ;;
  package) packages=("${build[@]}" dpkg-dev) ;;
  *) echo "usage: $0 [package]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
# The package scripts must not start a system-wide server; the project starts its own.
DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 $sudo apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
