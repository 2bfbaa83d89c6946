#!/usr/bin/env bash
# Builds the Release tree and runs the saver's benchmark, with a MariaDB server of its own for the
# MYSQL row. Arguments go to the benchmark (--quick, --only ...); results in build/bench-results.json.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j4 --target Ledgrix hexvane-sim ptserv32 ledgrix-bench
# shellcheck source=scripts/mariadb.sh
source scripts/mariadb.sh
mariadb_start "$PWD/build/bench-mariadb"
trap 'mariadb_stop' EXIT
build/bench/ledgrix-bench --out build/bench-results.json "$@"
