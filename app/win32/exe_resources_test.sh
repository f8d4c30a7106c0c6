#!/usr/bin/env bash
# Reads the resources of exportfix.exe back with an independent tool (icoutils): the 22 icon
# groups with their names and image numbers, each image 744 bytes, 32 x 32, 4 bits per pixel,
# the animation clip and the version information; and, for both programs, the processor in the PE
# header, the application manifest and the DLLs they import. Nothing here runs the programs, so the
# 32-bit ones are checked on machines that cannot run them too.
# Usage: exe_resources_test.sh ARCH EXPORTFIX_EXE EFX_EXE    (ARCH: x86 or amd64, as in manifests)
set -euo pipefail
arch=$1
exe=$2
efx=$3
command -v wrestool >/dev/null || { echo "wrestool (icoutils) is missing"; exit 1; }
list=$(wrestool -l "$exe")
expected_groups="AICOZEMB AICOZEMBCROSS ICOAPP ICOCAIN ICOCROSS ICODBSERVER ICODIFF ICODLL ICOEXTMOD
ICOFORM ICOFSPEC ICOIMAGE ICOINONE ICOINTWO ICOLIB ICOLOCK ICOMENU ICOMOD ICOPRJ ICOSQLSERVER
ICOSYSLIB ICOZEMBWINK"
groups=$(grep -- "--type=14 " <<<"$list" | sed "s/.*--name='\([^']*\)'.*/\1/" | tr '\n' ' ')
[ "$(echo $groups)" = "$(echo $expected_groups)" ] || { echo "icon groups: $groups"; exit 1; }
images=$(grep -c -- "--type=3 .*size=744\]" <<<"$list")
[ "$images" = 22 ] || { echo "expected 22 images of 744 bytes, found $images"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
number=0
for group in $expected_groups; do
  number=$((number + 1))
  wrestool -x --raw --type=14 --name="$group" "$exe" > "$work/group.bin"
  # GRPICONDIR: 6 bytes, then one 14-byte entry whose last 2 bytes are the image number.
  [ "$(stat -c %s "$work/group.bin")" = 20 ] || { echo "$group: not exactly one image"; exit 1; }
  id=$(od -An -tu2 -j18 -N2 "$work/group.bin" | tr -d ' ')
  [ "$id" = "$number" ] || { echo "$group: image $id, expected $number"; exit 1; }
  wrestool -x --type=group_icon --name="$group" "$exe" > "$work/$group.ico"
  icotool -l "$work/$group.ico" | grep -q -- "--width=32 --height=32 --bit-depth=4 --palette-size=16" ||
    { echo "$group: $(icotool -l "$work/$group.ico")"; exit 1; }
done
grep -q -- "--type=16 --name=1 " <<<"$list" || { echo "no version information"; exit 1; }
grep -q -- "--type=21569 --name=1 " <<<"$list" || { echo "no symbol table"; exit 1; }
grep -q -- "--type=5 --name='WINPROGRESS' " <<<"$list" || { echo "no dialog template"; exit 1; }
echo "22 icon groups numbered 1 to 22, each one 32 x 32 4-bit image of 744 bytes"

# The application manifest (type 24, id 1): common controls 6, DPI aware, Windows 7 to 11,
# asInvoker, and no UTF-8 code page (names are bytes of the ANSI code page).
check_manifest() {
  local manifest format
  case $arch in
    x86) format=pei-i386 ;;
    amd64) format=pei-x86-64 ;;
    *) echo "unknown processor $arch"; exit 1 ;;
  esac
  objdump -f "$1" | grep -q "file format $format\$" || { echo "$1: not $format: $(objdump -f "$1")"; exit 1; }
  manifest=$(wrestool -x --raw --type=24 --name=1 "$1")
  [ -n "$manifest" ] || { echo "$1: no application manifest"; exit 1; }
  local expected
  for expected in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
    '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>' \
    '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' \
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' \
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' \
    "version=\"1.1.0.0\" processorArchitecture=\"$arch\""; do
    grep -qF -- "$expected" <<<"$(tr -s ' \n' ' ' <<<"$manifest")" || { echo "$1: manifest lacks $expected"; exit 1; }
  done
  ! grep -q '<activeCodePage' <<<"$manifest" || { echo "$1: manifest sets the code page"; exit 1; }
}
# Only DLLs that every Windows has: the programs are linked statically, so nothing is to be shipped
# beside them.
check_imports() {
  local dll
  for dll in $(objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
    case ${dll,,} in
      kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | advapi32.dll | \
        shell32.dll | msvcrt.dll) ;;
      *) echo "$1 imports $dll, which Windows does not have"; exit 1 ;;
    esac
  done
}
for program in "$exe" "$efx"; do
  check_manifest "$program"
  check_imports "$program"
done
echo "both programs are $arch programs with their application manifest, importing only system DLLs"
