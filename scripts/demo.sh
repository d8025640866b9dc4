#!/usr/bin/env bash
# Builds the installer and starts it under Wine on a demo host environment. With $DISPLAY set it
# opens there; without, it runs on a private Xvfb and saves a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
. "$root/scripts/build.sh"
build_project --target SetUp
prefix=$build/demo-prefix
setup=$("$root/scripts/demo-env.sh" "$prefix" "$build/SetUp.exe")
. "$root/scripts/wine-env.sh" "$prefix"
echo "Demo prefix: $prefix (hosts 2022 and 2025, package beside $setup)"

if [ -n "${DISPLAY:-}" ]; then
  cd "$prefix/drive_c/ZantrelDemo"
  exec wine explorer /desktop=Zantrel,1024x768 "$setup"
fi

session=$build/demo-session
DISPLAY=$("$root/scripts/session.sh" start "$session" "$prefix")
export DISPLAY
trap '"$root/scripts/session.sh" stop "$session" "$prefix"' EXIT
(cd "$prefix/drive_c/ZantrelDemo" && wine explorer /desktop=Zantrel,1024x768 "$setup" >/dev/null 2>&1 &)
shot=${SCREENSHOT:-$build/setup-dialog.png}
for _ in $(seq 1 300); do
  if xdotool search --name 'Zantrel安装' >/dev/null 2>&1; then break; fi
  sleep 0.1
done
xdotool search --name 'Zantrel安装' >/dev/null 2>&1 || { echo "the dialog did not appear" >&2; exit 1; }
sleep 1  # let the dialog finish painting before the picture is taken
import -display "$DISPLAY" -window root "$shot"
# Keep the dialog only: trim the plain desktop around it.
/usr/bin/convert "$shot" -fuzz 3% -trim +repage "$shot"
echo "Screenshot: $shot"
