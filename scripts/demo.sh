#!/usr/bin/env bash
# Runs the saver on the bundled demo project for about 20 seconds, driven by hexvane-sim, and
# prints what it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLEDGRIX_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"

BIN=$ROOT/build/bin
PROJECT=$ROOT/build/Project/Demo
rm -rf "$PROJECT"
mkdir -p "$ROOT/build/Project"
cp -r "$ROOT/demo/Project/Demo" "$PROJECT"
cp "$PROJECT/Demo.pam" "$PROJECT/WS1.pam"  # the tag list of the configuration program's workstation WS1

RUNDIR=$(mktemp -d)
export LEDGRIX_WINDOW_DIR=$RUNDIR
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
export LEDGRIX_MSGBOX=stderr

cd "$BIN"
./hexvane-sim run ../Project/Demo --script ../Project/Demo/demo.script >"$RUNDIR/sim.log" 2>&1 &
SIM=$!
trap 'kill $SIM 2>/dev/null || true; rm -rf "$RUNDIR"' EXIT
for _ in $(seq 1 50); do
    ./hexvane-sim list >/dev/null 2>&1 && break
    sleep 0.1
done
echo "Running the saver on project Demo, workstation WS1 (about 20 seconds) ..."
set +e
timeout 60 ./Ledgrix Demo WS1 2>"$RUNDIR/saver.err"
status=$?
set -e
wait $SIM 2>/dev/null || true

DAT=$PROJECT/dat/Ledgrix
echo
echo "Saver ended with status $status."
echo
echo "Records per save group:"
for t in Cyclic1s Enabled; do
    printf '  %-9s %5s rows  in %s, table %s\n' "$t" \
        "$(sqlite3 "$DAT/demo.mdb" "select count(*) from $t")" "build/Project/Demo/dat/Ledgrix/demo.mdb" "$t"
done
printf '  %-9s %5s rows  in %s, sheet %s\n' Fast250 \
    "$(sqlite3 "$DAT/demo.xls" 'select count(*) from [Fast250$]')" "build/Project/Demo/dat/Ledgrix/demo.xls" 'Fast250$'
if [ -f "$DAT/Batches.csv" ]; then
    printf '  %-9s %5s lines in %s (with its title line)\n' "Batches" "$(wc -l <"$DAT/Batches.csv")" \
        "build/Project/Demo/dat/Ledgrix/Batches.csv"
fi
echo
echo "Last rows of Fast250 (250 ms cycle, an Excel workbook):"
sqlite3 "$DAT/demo.xls" 'select * from [Fast250$] order by Time desc limit 3' | sed 's/^/  /'
echo
echo "Batches.csv:"
head -5 "$DAT/Batches.csv" 2>/dev/null | sed 's/^/  /'
echo
echo "Last log lines (build/Project/Demo/cfg/WS1/Ledgrix.log):"
tail -n 8 "$PROJECT/cfg/WS1/Ledgrix.log" | sed 's/^/  /'
