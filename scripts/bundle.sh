#!/usr/bin/env bash
# Makes the release bundle: dist/ with SetUp.exe beside Data/ (the package) and a zip of both,
# named with the version. Without an argument the demo package is bundled.
# Usage: bundle.sh [PACKAGE_FOLDER]. DIST_DIR picks the output folder. SETUP_SIGN_PKCS12 and
# SETUP_SIGN_PASSWORD (and SETUP_SIGN_TIMESTAMP_URL) sign SetUp.exe: see the README.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
dist=${DIST_DIR:-$root/dist}
[ $# -le 1 ] || { echo "usage: $0 [PACKAGE_FOLDER]" >&2; exit 2; }

if [ $# -eq 1 ]; then
  package=$1
else
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  package=$scratch/Data
  "$root/scripts/make-package.sh" "$package"
fi

# Refuse a bad package before spending a build on it.
python3 "$root/scripts/bundle.py" --check "$package"
. "$root/scripts/build.sh"
build_project --target SetUp
python3 "$root/scripts/bundle.py" --build "$build" --out "$dist" --quiet "$package"
