#!/usr/bin/env bash
# Builds the Debian package vestragen_VERSION_ARCH.deb with CPack from a fresh build directory
# (build-package/, Release, prefix /usr, Debian's hardening flags, no tests), checks it with
# lintian when lintian is installed (any error fails) and prints the package's path.
#
#   scripts/package.sh
#
# Install it with `apt-get install ./build-package/vestragen_1.0.0_amd64.deb` (or dpkg -i);
# what it holds is said in packaging/install.cmake and packaging/README.Debian.
set -euo pipefail
cd "$(dirname "$0")/.."
project=$(pwd)
out=$project/build-package

scripts/install-deps.sh package

# Debian's flags for a package: optimisation and debug info (stripped by CPack), stack
# protector, _FORTIFY_SOURCE, relro and immediate binding.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)

rm -rf "$out"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$out" -j2 >/dev/null
(cd "$out" && cpack -G DEB >cpack.log 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }

version=$(sed -n 's/^project(vestragen VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$out/vestragen_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "package: $deb was not made" >&2; ls "$out"/*.deb >&2 || true; exit 1; }

# The changelog travels in the package; its latest entry must be this version.
logged=$(dpkg-parsechangelog -l packaging/changelog -S Version)
if [ "$logged" != "$version" ]; then
  echo "package: packaging/changelog's latest entry is $logged, the project is $version" >&2
  exit 1
fi

if command -v lintian >/dev/null; then
  # Lintian's remark on running as root is no finding about the package.
  report=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges') ||
    true
  [ -z "$report" ] || printf '%s\n' "$report"
  if grep -q '^E: ' <<<"$report"; then
    echo "package: lintian reports errors" >&2
    exit 1
  fi
fi
echo "$deb"
