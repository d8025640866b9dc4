#!/usr/bin/env bash
# Creates a throwaway Wine prefix once (the first start takes a while); later calls return at once.
# Usage: wine-prefix.sh PREFIX
set -euo pipefail
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/system.reg" ]; then
  . "$(dirname "$0")/wine-env.sh" "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
