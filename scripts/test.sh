#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds the program twice (optimised, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in both builds. Each build
# starts its own throwaway MariaDB server for its tests and stops it afterwards. The optimised
# build also runs against a three-node Galera cluster on loopback (scripts/test-cluster.sh).
# Then every fuzz target runs for a bounded time. Compiler warnings are errors in these builds
# (-DVESTRAGEN_WERROR=ON), unlike in a user's or packager's build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTRAGEN_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest -j"$jobs" --output-on-failure)
scripts/test-cluster.sh build

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON -DVESTRAGEN_WERROR=ON \
  >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest -j"$jobs" --output-on-failure)

# The fuzz targets, bounded: a minute each (scripts/fuzz.sh 600 for a longer local run).
scripts/fuzz.sh "${VESTRAGEN_FUZZ_SECONDS:-60}"
