#!/usr/bin/env bash
# Prints the installer's figures beside their baselines, measured in one run in one Wine prefix
# of its own (BUILD_DIR/bench-prefix): size and imports, start-up, installation, discovery.
# RUNS sets the number of timed runs per figure (medians are printed); BENCH_SAMPLES=1 also
# prints every discovery sample.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
runs=${RUNS:-7}
. "$root/scripts/build.sh"
build_project --target SetUp bench_bare_dialog bench_driver bench_discovery >/dev/null

setup=$build/SetUp.exe
bench=$build/bench
objdump=x86_64-w64-mingw32-objdump
echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n1), $(nproc) cores;" \
  "$(wine --version 2>/dev/null); $(date -u +%Y-%m-%d)"

# 1. Size: the release exe is stripped at link time.
size=$(stat -c %s "$setup")
imports=$($objdump -p "$setup" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
system="ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll ole32.dll SHELL32.dll USER32.dll COMCTL32.dll"
foreign=""
for dll in $imports; do
  case " ${system,,} " in *" ${dll,,} "*) ;; *) foreign+="$dll ";; esac
done
echo "size:"
printf '  SetUp.exe %d bytes (%.1f KiB; goal 256 KiB: %s)\n' "$size" "$(awk "BEGIN{print $size/1024}")" \
  "$([ "$size" -le 262144 ] && echo met || echo MISSED)"
echo "  bare DialogBoxParamA exe $(stat -c %s "$bench/bench_bare_dialog.exe") bytes"
echo "  imports: $imports(${foreign:-system DLLs only})"

# The prefix: two hosts (2022, 2025) as in the demo, and a large package beside a copy of the
# installer. Generated data is kept between runs.
prefix=$build/bench-prefix
"$root/scripts/demo-env.sh" "$prefix" "$setup" >/dev/null
. "$root/scripts/wine-env.sh" "$prefix"
work=$prefix/drive_c/zbench
data=$work/Data
if [ ! -f "$data/.complete" ]; then
  rm -rf "$work"
  mkdir -p "$data/Quorel扩展绘图库"
  # 200 files of 500 KiB (about 100 MB), the four required ones among them; 50 library files.
  for f in Quorel2021.ZRX Quorel2025.ZRX Quorel_EN.shx Quorel_HZ.shx; do
    head -c 512000 /dev/urandom >"$data/$f"
  done
  for i in $(seq 1 196); do head -c 512000 /dev/urandom >"$data/$(printf 'part%03d.dat' "$i")"; done
  for i in $(seq 1 50); do
    head -c 65536 /dev/urandom >"$data/Quorel扩展绘图库/$(printf '图块%02d.dwg' "$i")"
  done
  touch "$data/.complete"
fi
cp "$setup" "$work/SetUp.exe"

session=$build/bench-session
DISPLAY=$("$root/scripts/session.sh" start "$session" "$prefix")
export DISPLAY
trap '"$root/scripts/session.sh" stop "$session" "$prefix"' EXIT

w() { winepath -w "$1"; }
# 2. Start-up, against the bare template.
wine "$bench/bench_driver.exe" startup "$runs" "$(w "$prefix/drive_c/ZantrelDemo/SetUp.exe")" \
  "$(w "$bench/bench_bare_dialog.exe")"
# 3. Installation, against xcopy of what was installed.
wine "$bench/bench_driver.exe" install "$(( runs < 5 ? runs : 5 ))" "$(w "$work/SetUp.exe")" \
  'C:\zbench-target' 'C:\zbench-xcopy'
echo "  (the package holds 200 files and a 50-file library; the installer looks at the first 101"
echo "   listing entries of the package, '.' and '..' included, and the first 81 of the library)"
# 4. Discovery; it replaces the demo hosts' keys, so it runs last.
wine "$bench/bench_discovery.exe" "$runs" 100 1000 10000
