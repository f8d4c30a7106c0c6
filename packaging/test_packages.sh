#!/usr/bin/env bash
# Tests the packages that scripts/package wrote: SHA256SUMS matches them; the Debian package passes
# lintian without errors and its programs, unpacked into a temporary root, repair the bundled
# samples; the tarball holds the same install tree; each Windows zip's efx.exe repairs the samples
# under Wine to the same bytes as the Linux efx, and its programs carry no link time. The 64-bit
# zip runs under Wine's 64-bit loader everywhere; the 32-bit one where the machine runs 32-bit code
# (scripts/can-run-32bit).
# Usage: packaging/test_packages.sh DIST
set -euo pipefail
dist=$(realpath "$1")
repo=$(realpath "$(dirname "$0")/..")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
only() {  # exactly one file matches
  local matches=("$@")
  [ ${#matches[@]} -eq 1 ] && [ -f "${matches[0]}" ] || { echo "expected one package, found: ${matches[*]}"; exit 1; }
  echo "${matches[0]}"
}
deb=$(only "$dist"/quillon-exportfix_*_amd64.deb)
tarball=$(only "$dist"/quillon-exportfix-*-linux-x86_64.tar.gz)
zip32=$(only "$dist"/quillon-exportfix-*-win32.zip)
zip64=$(only "$dist"/quillon-exportfix-*-win64.zip)
# Settings of the user running the tests must not change the repairs.
export EXPORTFIX_SETTINGS=$work/no-settings.ini

# Repairs copies of SAMPLES with EFX (a command, possibly under Wine) in a fresh folder DIR, and
# checks the result: every sample copied, the copies clean by the Linux efx's check.
repair_samples() {
  local label=$1 samples=$2 dir=$3
  shift 3
  mkdir -p "$dir"
  cp "$samples"/*.AEF "$samples"/*.MEF "$dir/"
  local output status=0
  output=$(cd "$dir" && "$@" fix -- *.AEF *.MEF 2>"$dir.stderr" | tr -d '\r') || status=$?
  [ $status -eq 0 ] || fail "$label: efx fix ended with $status: $output"
  [ "$output" = "3 .FIX files were successfully written." ] || fail "$label: efx fix said: $output"
}

echo "== SHA256SUMS"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the packages"
[ "$(cut -d' ' -f3 "$dist/SHA256SUMS" | sort)" = "$(cd "$dist" && ls | grep -v '^SHA256SUMS$' | sort)" ] ||
  fail "SHA256SUMS does not list every package"

echo "== lintian $(basename "$deb")"
# Tags of every level are shown; only errors fail.
lintian --fail-on error --display-info --pedantic "$deb" >"$work/lintian.out" 2>&1 ||
  fail "lintian reports errors"
grep -v "running with root privileges" "$work/lintian.out" || true

echo "== the Debian package unpacked into a temporary root"
root=$work/root
dpkg -x "$deb" "$root"
efx=$root/usr/bin/efx
exportfix=$root/usr/bin/exportfix
samples=$root/usr/share/doc/quillon-exportfix/samples
for file in "$efx" "$exportfix" "$samples/Helpers.MEF" "$root/usr/share/doc/quillon-exportfix/copyright" \
    "$root/usr/share/doc/quillon-exportfix/changelog.gz" "$root/usr/share/man/man1/efx.1.gz" \
    "$root/usr/share/man/man1/exportfix.1.gz" "$root/usr/share/doc/quillon-exportfix/README.md" \
    "$root/usr/share/doc/quillon-exportfix/docs/architecture.md"; do
  [ -e "$file" ] || fail "the package lacks ${file#"$root"}"
done
[ "$("$efx" --version)" = "efx (Quillon Export File Fix) $(dpkg-deb -f "$deb" Version)" ] || fail "efx --version"
repair_samples "deb efx" "$samples" "$work/deb-efx" "$efx"
# efx check takes no .fix files: it sees the copies under export file names.
mkdir -p "$work/deb-check"
for copy in "$work"/deb-efx/*.fix; do
  name=$(basename "$copy" .fix)
  cp "$copy" "$work/deb-check/$name.AEF"
done
(cd "$work/deb-check" && "$efx" check -- *.AEF >"$work/deb-check.out") ||
  fail "deb efx: the repaired copies still need repair: $(cat "$work/deb-check.out")"
modules=$("$efx" dump --type MODNAME "$work/deb-efx/Helpers.fix")
grep -q '"Helpers- Date-Time\\x00"' <<<"$modules" || fail "deb efx: Helpers.fix lacks the repaired module name"
for page in efx exportfix; do
  warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -ww -Tutf8 -z 2>&1)
  [ -z "$warnings" ] || fail "deb: $page.1.gz renders with warnings: $warnings"
done

# exportfix, scripted: OK to the intro box, the pattern *.AEF in the file dialog, an empty line to
# end the list, Enter to close the final box.
mkdir -p "$work/deb-exportfix"
cp "$samples"/*.AEF "$samples"/*.MEF "$work/deb-exportfix/"
status=0
output=$(cd "$work/deb-exportfix" && printf 'ok\n*.AEF\n\n\n' | "$exportfix" 2>&1) || status=$?
[ $status -eq 0 ] || fail "deb exportfix ended with $status"
grep -q "2 .FIX files were successfully written." <<<"$output" || fail "deb exportfix said: $output"
for copy in "Invoice Manager.fix" Clean.fix; do
  cmp -s "$work/deb-exportfix/$copy" "$work/deb-efx/$copy" || fail "deb exportfix: $copy differs from efx's"
done
[ ! -e "$work/deb-exportfix/Helpers.fix" ] || fail "deb exportfix repaired a file it was not given"

echo "== the tarball"
mkdir -p "$work/tar"
tar -C "$work/tar" -xzf "$tarball"
tree=$(echo "$work"/tar/*)
diff <(cd "$root/usr" && find . -type f | grep -v -e /copyright -e /changelog.gz | sort) \
  <(cd "$tree" && find . -type f | grep -v /LICENSE | sort) || fail "the tarball and the Debian package hold different files"
[ -f "$tree/share/doc/quillon-exportfix/LICENSE" ] || fail "the tarball lacks the LICENSE"
cmp -s "$tree/bin/efx" "$efx" || fail "the tarball's efx differs from the Debian package's"

# test_zip ZIP BITS FORMAT LOADER PREFIX: one Windows zip, its efx.exe run under LOADER in the Wine
# prefix PREFIX.
test_zip() {
  local zip=$1 bits=$2 format=$3 loader=$4
  echo "== the $bits-bit Windows zip under Wine"
  mkdir -p "$work/zip$bits"
  unzip -q "$zip" -d "$work/zip$bits"
  local top
  top=$(echo "$work/zip$bits"/*)
  diff <(cd "$top" && find . -type f | sort) - <<'LIST' || fail "the $bits-bit zip holds other files than expected"
./LICENSE
./README.md
./docs/architecture.md
./docs/development.md
./docs/reliability.md
./docs/speed.md
./efx.exe
./efx.txt
./exportfix.exe
./exportfix.txt
./samples/Clean.AEF
./samples/Helpers.MEF
./samples/Invoice Manager.AEF
./samples/README.md
LIST
  local program header
  for program in efx exportfix; do
    header=$(objdump -p "$top/$program.exe")
    grep -q "file format $format\$" <<<"$header" || fail "$bits-bit $program.exe is not $format"
    # The PE header's time stamp is zero when the linker was told to leave it out.
    grep -q '^Time/Date.*1970' <<<"$header" || fail "$bits-bit $program.exe carries a link time"
  done
  local -x WINEPREFIX=$5
  repair_samples "zip$bits efx.exe" "$top/samples" "$work/zip$bits-efx" "$loader" "$top/efx.exe"
  for copy in "Invoice Manager.fix" Clean.fix Helpers.fix; do
    cmp -s "$work/zip$bits-efx/$copy" "$work/deb-efx/$copy" ||
      fail "zip$bits efx.exe: $copy differs from the Linux efx's"
  done
}
test_zip "$zip64" 64 pei-x86-64 /usr/lib/wine/wine64 "${WINEPREFIX64:-$repo/build/wineprefix64}"
if answer=$("$repo/scripts/can-run-32bit"); then
  test_zip "$zip32" 32 pei-i386 wine "${WINEPREFIX32:-$repo/build/wineprefix}"
else
  echo "NOTE: the 32-bit zip's efx.exe could not run on this machine: ${answer#no: }."
fi

if [ $failures -ne 0 ]; then
  echo "$failures package checks failed"
  exit 1
fi
echo "packages: lintian without errors; the programs of the .deb, the tarball and the zips work"
