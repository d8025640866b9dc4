#!/usr/bin/env bash
# Prepares a demo host environment in a Wine prefix: two host releases (2022 and 2025) in HKLM,
# their Fonts folders, and a package folder beside a copy of the installer.
# Usage: demo-env.sh PREFIX SETUP_EXE  -> prints the Windows path of the installer copy.
set -euo pipefail
prefix=$1
exe=$2
here=$(cd "$(dirname "$0")" && pwd)
"$here/wine-prefix.sh" "$prefix"
. "$here/wine-env.sh" "$prefix"

c="$prefix/drive_c"
# The caption buttons are glyphs of Wine's Marlett font (Debian's fonts-wine). This Wine looks for
# its own fonts in a folder it cannot open, so give the prefix a copy; every font in the Windows
# Fonts folder is loaded.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp -n /usr/share/wine/fonts/marlett.ttf "$c/windows/Fonts/"
fi
mkdir -p "$c/ZWCAD 2022/Fonts" "$c/ZWCAD Mechanical 2025/Fonts"
app="$c/ZantrelDemo"
rm -rf "$app"
"$here/make-package.sh" "$app/Data"
cp "$exe" "$app/SetUp.exe"

reg=$(mktemp --suffix=.reg)
cat > "$reg" <<'REG'
REGEDIT4

[-HKEY_LOCAL_MACHINE\SOFTWARE\ZWSOFT]

[HKEY_LOCAL_MACHINE\SOFTWARE\ZWSOFT\ZWCAD\2022\zh-CN]
"Location"="C:\\ZWCAD 2022\\"

[HKEY_LOCAL_MACHINE\SOFTWARE\ZWSOFT\ZWCADM\2025 SP1\zh-CN]
"Location"="C:\\ZWCAD Mechanical 2025"
REG
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
# Draw 宋体 with a font that has no embedded bitmaps (their small strikes render garbled here).
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"宋体"="WenQuanYi Micro Hei"\r\n"SimSun"="WenQuanYi Micro Hei"\r\n' \
  | iconv -f UTF-8 -t UTF-16 > "$reg"
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
wineserver -w
rm -f "$reg"
echo 'C:\ZantrelDemo\SetUp.exe'
