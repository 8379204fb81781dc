#!/usr/bin/env bash
# Sets everything up, builds, and queries the simulated meter with the probe in each
# of the four float byte orders (one simulator per order, reached as COM1).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build

sim_pid=""
link=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    [ -n "$link" ] && rm -f "$link"
    sim_pid=""
}
trap cleanup EXIT

status=0
for order in 0 1 2 3; do
    link=$(mktemp -u "${TMPDIR:-/tmp}/zentra-com1.XXXXXX")
    build/tools/zentra-sim --order "$order" --link "$link" >/dev/null &
    sim_pid=$!
    for _ in $(seq 50); do
        [ -L "$link" ] && break
        sleep 0.1
    done
    if [ ! -L "$link" ]; then
        echo "The meter simulator did not start." >&2
        exit 1
    fi
    echo "=== Simulated meter, float order $order ==="
    ZENTRA_COM1="$link" build/tools/zentra-probe COM1 --node 1 --order "$order" \
        --baud 38400 --parity NONE --stop 1 || status=$?
    cleanup
    echo
done
exit "$status"
