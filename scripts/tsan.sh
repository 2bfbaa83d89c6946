#!/usr/bin/env bash
# Builds the database layer's, the record writers', the saver runtime's and the tag-manager
# library's tests under ThreadSanitizer and runs each program whole (its exit included), with a
# MariaDB server of its own. Fails on a failed test or on any report that scripts/tsan.supp does
# not name.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${LEDGRIX_TSAN_BUILD:-$ROOT/build-tsan}
PROGRAMS=(ado_tests writer_tests saver_runtime_tests ptserv32_test ptserv32_session_test)
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEDGRIX_TSAN=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target "${PROGRAMS[@]}"

# shellcheck source=scripts/mariadb.sh
source scripts/mariadb.sh
mariadb_start "$BUILD/mariadb"
trap 'mariadb_stop' EXIT

export QT_QPA_PLATFORM=offscreen
# die_after_fork=0: the tests start child processes while their threads run.
export TSAN_OPTIONS="suppressions=$ROOT/scripts/tsan.supp second_deadlock_stack=1 die_after_fork=0"
# The library's tests run hexvane-sim as a child process: in the test process, the runtime's
# hand-offs inside Qt would be invisible to the checker. The runtime itself reports nothing here:
# its reports are of those hand-offs, not this check's, and printing them holds it up.
SIM="$BUILD/hexvane-sim-unreported"
# shellcheck disable=SC2016 # the variables are the wrapper's
printf '#!/bin/sh\nTSAN_OPTIONS="$TSAN_OPTIONS report_bugs=0" exec "%s" "$@"\n' "$BUILD/bin/hexvane-sim" >"$SIM"
chmod +x "$SIM"
export LEDGRIX_TEST_HEXVANE_SIM="$SIM"
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
