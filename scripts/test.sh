#!/usr/bin/env bash
# Builds the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer and runs it,
# with a MariaDB server of its own on a free loopback port.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
scripts/setup.sh
scripts/format-check.sh
BUILD=${LEDGRIX_TEST_BUILD:-$ROOT/build-test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEDGRIX_SANITIZE=ON
cmake --build "$BUILD" -j "$(nproc)"

# shellcheck source=scripts/mariadb.sh
source scripts/mariadb.sh
mariadb_start "$BUILD/mariadb"
trap 'mariadb_stop' EXIT

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" --timeout 600
