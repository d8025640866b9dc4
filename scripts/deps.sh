#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, only when missing.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
have_cmd wine || need+=(wine wine64)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have_cmd Xvfb || need+=(xvfb)
have_cmd xauth || need+=(xauth)
have_cmd xdotool || need+=(xdotool)
have_cmd xprop || need+=(x11-utils)
have_cmd fvwm || need+=(fvwm)
have_cmd cmake || need+=(cmake)
have_cmd make || need+=(make)
have_cmd python3 || need+=(python3)
# The exe checks read the PE image with Debian's pefile, so they run Debian's own Python.
/usr/bin/python3 -c 'import pefile' 2>/dev/null || need+=(python3-pefile)
have_cmd zip || need+=(zip)
have_cmd unzip || need+=(unzip)
# localedef alone (libc-bin) is not enough: the zh_CN definitions come with `locales`.
[ -f /usr/share/i18n/locales/zh_CN ] || need+=(locales)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
[ -f /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc ] || need+=(fonts-wqy-zenhei)
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
# The real ImageMagick (some images ship a stand-in `convert`).
dpkg -s imagemagick >/dev/null 2>&1 || need+=(imagemagick)
# Wine's own fonts: without them the caption buttons show letters ("0 1 r") instead of glyphs.
dpkg -s fonts-wine >/dev/null 2>&1 || need+=(fonts-wine)
# Signing the release (scripts/bundle.sh) and the throwaway certificates of its tests.
have_cmd osslsigncode || need+=(osslsigncode)
have_cmd openssl || need+=(openssl)

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine needs a real zh_CN.UTF-8 system locale for code page 936 and Chinese file names.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
