# Sourced: the Wine environment of every program this project runs (tests, demo, benchmarks).
# Usage: . scripts/wine-env.sh PREFIX
# Code page 936 needs the zh_CN.UTF-8 locale; no network here, so Wine never offers Mono or Gecko.
export WINEPREFIX=$1
export WINEDEBUG="${WINEDEBUG:--all}"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
