#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine on a private Xvfb.
# Extra arguments go to ctest (e.g. -R HostRegistry). BUILD_DIR picks another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2

. "$root/scripts/xvfb.sh"
start_xvfb
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
# One wineserver for the whole run instead of one per test program. Start it and the prefix's
# services here, detached from ctest's output pipes: a service that inherited a test's stdout would
# keep ctest waiting for that test long after it ended.
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 "$@"
