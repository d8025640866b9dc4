#!/usr/bin/env bash
# Writes a small package folder: the two modules, the two fonts, a few more files and the
# drawing library. Usage: make-package.sh FOLDER
set -euo pipefail
dir=$1
mkdir -p "$dir/Quorel扩展绘图库"
for f in Quorel2021.ZRX Quorel2025.ZRX Quorel_EN.shx Quorel_HZ.shx Quorel.cuix 说明.txt; do
  printf 'demo %s\n' "$f" > "$dir/$f"
done
for i in 1 2 3; do
  printf 'library drawing %d\n' "$i" > "$dir/Quorel扩展绘图库/图块$i.dwg"
done
