#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine on a private screen (the
# session fixture starts and ends it). Extra arguments go to ctest: -L gui, -LE slow, -R Fonts...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/build.sh"
build_project
cd "$root"
ctest --preset release "$@"
