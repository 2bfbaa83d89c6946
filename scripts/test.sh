#!/usr/bin/env bash
# Builds the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer and runs it,
# with a MariaDB server of its own on a free loopback port; builds the Release tree with its tests;
# runs the thread check (scripts/tsan.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
scripts/setup.sh
scripts/format-check.sh
BUILD=${LEDGRIX_TEST_BUILD:-$ROOT/build-test}
BUILD=${BUILD%/}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEDGRIX_SANITIZE=ON
cmake --build "$BUILD" -j "$(nproc)"
# The Release tree with its tests: warnings are errors there too, also those only the optimizer sees.
cmake -S . -B "$BUILD-release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD-release" -j "$(nproc)"

# shellcheck source=scripts/mariadb.sh
source scripts/mariadb.sh
mariadb_start "$BUILD/mariadb"
trap 'mariadb_stop' EXIT

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" --timeout 600

# The README's path, as a newcomer takes it: the demo, then the configuration program opened on
# the demo's workstation with the README's own command, ended as the desktop ends it once its
# window shows the demo's groups.
echo "README: scripts/demo.sh, then the configuration program on the demo"
scripts/demo.sh >"$BUILD/readme-demo.log" 2>&1 || { cat "$BUILD/readme-demo.log"; exit 1; }
read -r -a OPEN <<<"$(sed -n 's/^    \(build\/bin\/LedgrixConfig .*\)$/\1/p' README.md | head -n 1)"
[ ${#OPEN[@]} -gt 0 ] || { echo "README: no command opens the demo in LedgrixConfig"; exit 1; }
WINDOWS=$(mktemp -d)
LEDGRIX_WINDOW_DIR=$WINDOWS XDG_CONFIG_HOME=$WINDOWS LEDGRIX_MSGBOX=stderr "${OPEN[@]}" 2>"$WINDOWS/stderr" &
CONFIG=$!
for _ in $(seq 1 300); do
    compgen -G "$WINDOWS/LedgrixConfig*.caption" >/dev/null && break
    kill -0 $CONFIG 2>/dev/null || break
    sleep 0.1
done
compgen -G "$WINDOWS/LedgrixConfig*.caption" >/dev/null || { echo "README: the window never showed"; cat "$WINDOWS/stderr"; exit 1; }
kill -TERM $CONFIG
status=0
wait $CONFIG || status=$?
if [ $status -ne 0 ] || grep -q '^MSGBOX|' "$WINDOWS/stderr"; then
    echo "README: LedgrixConfig ended with status $status"
    cat "$WINDOWS/stderr"
    exit 1
fi
rm -rf "$WINDOWS"
echo "README: LedgrixConfig showed the demo and ended in order"

# The thread check: the database layer's, the writers', the runtime's and the tag-manager
# library's tests under ThreadSanitizer, with a MariaDB server of their own.
LEDGRIX_TSAN_BUILD="$BUILD-tsan" scripts/tsan.sh
