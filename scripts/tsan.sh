#!/usr/bin/env bash
# Builds the database layer's, the record writers' and the saver runtime's tests under
# ThreadSanitizer and runs each program whole (its exit included), with a MariaDB server of its
# own. Fails on a failed test or on any report that scripts/tsan.supp does not name.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${LEDGRIX_TSAN_BUILD:-$ROOT/build-tsan}
PROGRAMS=(ado_tests writer_tests saver_runtime_tests)
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEDGRIX_TSAN=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target "${PROGRAMS[@]}"

# shellcheck source=scripts/mariadb.sh
source scripts/mariadb.sh
mariadb_start "$BUILD/mariadb"
trap 'mariadb_stop' EXIT

export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="suppressions=$ROOT/scripts/tsan.supp second_deadlock_stack=1"
pids=()
for p in "${PROGRAMS[@]}"; do
    "$BUILD/tests/bin/$p" >"$BUILD/$p.tsan.log" 2>&1 &
    pids+=($!)
done
status=0
for i in "${!PROGRAMS[@]}"; do
    p=${PROGRAMS[$i]}
    if wait "${pids[$i]}" && ! grep -q 'WARNING: ThreadSanitizer' "$BUILD/$p.tsan.log"; then
        echo "ThreadSanitizer: $p clean"
    else
        echo "ThreadSanitizer: $p failed (its output: $BUILD/$p.tsan.log)"
        grep -A40 -E 'WARNING: ThreadSanitizer|\[  FAILED  \]' "$BUILD/$p.tsan.log" | head -n 200
        status=1
    fi
done
exit $status
