#!/usr/bin/env bash
# Prints the installer's figures beside their baselines and beside a peer installer written in
# NSIS (bench/PeerInstaller.nsi, in two forms), measured in one run in one Wine prefix of its own
# (BUILD_DIR/bench-prefix): size and imports, start-up, installation, discovery.
# RUNS sets the number of timed runs per figure (medians are printed); BENCH_SAMPLES=1 also
# prints every discovery sample; BASELINE_EXE, an earlier build's SetUp.exe, adds its installation
# beside this build's.
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
printf '  SetUp.exe %d bytes (%.1f KiB; goal 160 KiB: %s)\n' "$size" "$(awk "BEGIN{print $size/1024}")" \
  "$([ "$size" -le 163840 ] && echo met || echo MISSED)"
echo "  bare DialogBoxParamA exe $(stat -c %s "$bench/bench_bare_dialog.exe") bytes"
echo "  imports: $imports(${foreign:-system DLLs only})"
command -v makensis >/dev/null || {
  echo "Installing: nsis"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends nsis >/dev/null
}

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

# The peer installer: the same job on the same files. SetUp.exe installs only the first listing
# entries of the package (see below), so the peer's package is what one installation of SetUp.exe
# left, with the two fonts beside it: Data\Package (files and library) and Data\Fonts.
peer=$work/peer
peer_key="$(sha1sum "$root/bench/PeerInstaller.nsi" | cut -c1-12)"
if [ "$(cat "$peer/.complete" 2>/dev/null)" != "$peer_key" ]; then
  rm -rf "$peer" "$prefix/drive_c/zbench-target"
  wine "$bench/bench_driver.exe" once "$(w "$work/SetUp.exe")" 'C:\zbench-target'
  mkdir -p "$peer/Data/Fonts" "$peer/packed"
  mv "$prefix/drive_c/zbench-target/Zantrel" "$peer/Data/Package"
  rm -rf "$prefix/drive_c/zbench-target"
  cp "$data/Quorel_EN.shx" "$data/Quorel_HZ.shx" "$peer/Data/Fonts/"
  # The demo's two hosts (scripts/demo-env.sh): key, year, module year loaded, Fonts folder.
  hosts=(-DHOST1_KEY='SOFTWARE\ZWSOFT\ZWCAD\2022\zh-CN' -DHOST1_YEAR=2022 -DHOST1_MODULE=2021
    -DHOST1_FONTS='C:\ZWCAD 2022\Fonts'
    -DHOST2_KEY='SOFTWARE\ZWSOFT\ZWCADM\2025 SP1\zh-CN' -DHOST2_YEAR=2025 -DHOST2_MODULE=2025
    -DHOST2_FONTS='C:\ZWCAD Mechanical 2025\Fonts')
  for form in copy packed; do
    out=$peer/PeerInstaller.exe
    [ $form = packed ] && out=$peer/packed/PeerInstaller.exe
    makensis -V1 -INPUTCHARSET UTF8 "${hosts[@]}" -DOUTFILE="$out" -DDATA="$peer/Data" \
      -DTIMES='C:\zbench\peer-times.txt' $([ $form = packed ] && echo -DPACKED) \
      "$root/bench/PeerInstaller.nsi" >/dev/null
  done
  echo "$peer_key" >"$peer/.complete"
fi
peer_copy=$peer/PeerInstaller.exe
peer_packed=$peer/packed/PeerInstaller.exe

# What a user downloads, zipped: each installer with the same files in its layout.
stage=$(mktemp -d)
mkdir -p "$stage/ours/Data" "$stage/peer" "$stage/packed"
cp -al "$peer/Data/Package/." "$stage/ours/Data/"
cp -al "$peer/Data/Fonts/." "$stage/ours/Data/"
cp "$setup" "$stage/ours/"
cp -al "$peer/Data" "$peer_copy" "$stage/peer/"
cp -al "$peer_packed" "$stage/packed/"
zipped() { (cd "$stage/$1" && zip -q -r -X "../$1.zip" .) && stat -c %s "$stage/$1.zip"; }
z_ours=$(zipped ours) z_peer=$(zipped peer) z_packed=$(zipped packed)
rm -rf "$stage"
s_copy=$(stat -c %s "$peer_copy") s_packed=$(stat -c %s "$peer_packed")
ratio() { awk "BEGIN{printf \"%.2f\", $1/$2}"; }
echo "size beside the peer (bench/PeerInstaller.nsi, NSIS $(makensis -VERSION)):"
printf '  %-44s %11d bytes\n' "SetUp.exe" "$size" \
  "peer, CopyFiles form (the NSIS stub and script)" "$s_copy" \
  "peer, packed form (File, default compression)" "$s_packed"
echo "  SetUp.exe / peer stub: $(ratio "$size" "$s_copy")"
echo "  download, zipped with the same files:"
printf '  %-44s %11d bytes\n' "SetUp.exe + Data" "$z_ours" "peer + Data (CopyFiles form)" "$z_peer" \
  "peer, packed form" "$z_packed"
echo "  SetUp.exe + Data / peer: $(ratio "$z_ours" "$z_peer") (CopyFiles form)," \
  "$(ratio "$z_ours" "$z_packed") (packed form)"
# 2. Start-up, against the bare template.
wine "$bench/bench_driver.exe" startup "$runs" "$(w "$prefix/drive_c/ZantrelDemo/SetUp.exe")" \
  "$(w "$bench/bench_bare_dialog.exe")" "$(w "$peer_copy")" "$(w "$peer_packed")"
# 3. Installation, against the peer's two forms and xcopy of what was installed.
wine "$bench/bench_driver.exe" install "$runs" "$(w "$work/SetUp.exe")" \
  'C:\zbench-target' 'C:\zbench-xcopy' "$(w "$peer_copy")" "$(w "$peer_packed")" \
  'C:\zbench-peer' 'C:\zbench\peer-times.txt'
echo "  (the package holds 200 files and a 50-file library; the installer looks at the first 101"
echo "   listing entries of the package, '.' and '..' included, and the first 81 of the library)"
# 3a. With BASELINE_EXE (an earlier build's SetUp.exe): its installation beside this one's.
if [ -n "${BASELINE_EXE:-}" ]; then
  rm -rf "$work/baseline"
  mkdir -p "$work/baseline"
  cp "$BASELINE_EXE" "$work/baseline/SetUp.exe"
  cp -al "$data" "$work/baseline/Data"
  wine "$bench/bench_driver.exe" compare "$runs" "$(w "$work/baseline/SetUp.exe")" \
    "$(w "$work/SetUp.exe")" 'C:\zbench-target'
fi
# 3b. The seal: the build's exe and a sealed bundle (scripts/bundle.py) beside the same package.
# Sealing takes a package within the listing limits only (99 entries): the four required files,
# 94 of the others and the library (146 files installed, and the fonts).
sealpkg=$work/seal-package
if [ ! -f "$sealpkg.complete" ]; then
  rm -rf "$sealpkg"
  mkdir -p "$sealpkg"
  cp -al "$data/Quorel扩展绘图库" "$data"/Quorel*.ZRX "$data"/Quorel_*.shx "$sealpkg/"
  for i in $(seq 1 94); do ln "$data/$(printf 'part%03d.dat' "$i")" "$sealpkg/"; done
  touch "$sealpkg.complete"
fi
rm -rf "$work/sealed" "$work/unsealed"
if ! out=$(python3 "$root/scripts/bundle.py" --quiet --build "$build" --out "$work/sealed" \
  "$sealpkg" 2>&1); then
  echo "$out" >&2
  exit 1
fi
mkdir -p "$work/unsealed"
cp "$setup" "$work/unsealed/SetUp.exe"
cp -al "$work/sealed/Data" "$work/unsealed/Data"
wine "$bench/bench_driver.exe" seal "$runs" "$(w "$work/unsealed/SetUp.exe")" \
  "$(w "$work/sealed/SetUp.exe")" 'C:\zbench-seal' "$(w "$work/sealed/Data")"
# 4. Discovery; it replaces the demo hosts' keys, so it runs last.
wine "$bench/bench_discovery.exe" "$runs" 100 1000 10000
