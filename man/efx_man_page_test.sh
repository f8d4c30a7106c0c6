#!/usr/bin/env bash
# Keeps efx.1 and `efx --help` together: every command and option that the built efx names in
# its help must be a term of the page's COMMANDS or OPTIONS section, and every long option the
# page describes must be one that efx lists.
# Usage: efx_man_page_test.sh [--self-test] EFX PAGE
#   --self-test: drops the first option and the first command from a copy of the page and
#   expects the check to fail on each.
set -euo pipefail
self_test=0
if [ "$1" = --self-test ]; then
  self_test=1
  shift
fi
efx=$1
page=$2

# The line after each .TP of one section, with roff's escapes for hyphens and fonts undone.
section_terms() {
  awk -v section="$2" '
    /^\.SH/ { in_section = ($0 == ".SH " section); next }
    in_section && /^\.TP/ { getline; print }
  ' "$1" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g'
}
has_word() { grep -Eq -- "(^|[^A-Za-z0-9-])$1([^A-Za-z0-9-]|$)"; }

help=$("$efx" --help)
options=$(grep -Eo -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
commands=$(sed -nE 's/^(Usage: +| +)?efx ([a-z]+).*/\2/p' <<<"$help" | sort -u)
if [ -z "$options" ] || [ -z "$commands" ]; then
  echo "efx --help names no options or no commands:"
  echo "$help"
  exit 1
fi

check() {
  local page=$1 status=0
  local option_terms command_terms
  option_terms=$(section_terms "$page" OPTIONS)
  command_terms=$(section_terms "$page" COMMANDS)
  for option in $options; do
    has_word "$option" <<<"$option_terms" || { echo "efx --help lists $option, $page does not"; status=1; }
  done
  for command in $commands; do
    has_word "$command" <<<"$command_terms" || { echo "efx --help names the command $command, $page does not"; status=1; }
  done
  for option in $(grep -Eo -- '--[a-z][a-z-]*' <<<"$option_terms" | sort -u); do
    grep -qx -- "$option" <<<"$options" || { echo "$page describes $option, efx --help does not list it"; status=1; }
  done
  return $status
}

if [ $self_test -eq 0 ]; then
  check "$page"
  echo "efx.1 names the $(wc -w <<<"$options") options and $(wc -w <<<"$commands") commands of efx --help"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
option=$(head -1 <<<"$options")
command=$(head -1 <<<"$commands")
# Drop the .TP paragraph whose term names the option (or the command) from a copy of the page.
drop_term() {
  awk -v word="$1" '
    /^\.TP/ { getline term; t = term; gsub(/\\-/, "-", t); gsub(/\\f[BIRP]/, "", t)
              if (index(" " t " ", " " word " ")) { skip = 1; next }
              skip = 0; print; print term; next }
    /^\.(TP|SH|SS|PP)/ { skip = 0 }
    !skip { print }
  ' "$page" >"$2"
}
status=0
for word in "$option" "$command"; do
  drop_term "$word" "$work/page.1"
  if cmp -s "$page" "$work/page.1"; then
    echo "could not drop $word from a copy of $page"
    status=1
  elif check "$work/page.1" >/dev/null; then
    echo "the check passed a page without $word"
    status=1
  else
    echo "the check fails on a page without $word, as it should"
  fi
done
exit $status
