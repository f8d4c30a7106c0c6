#!/usr/bin/env bash
# Reads the resources of exportfix.exe back with an independent tool (icoutils): the 22 icon
# groups with their names and image numbers, each image 744 bytes, 32 x 32, 4 bits per pixel,
# the animation clip and the version information.
# Usage: exe_resources_test.sh EXPORTFIX_EXE
set -euo pipefail
exe=$1
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
