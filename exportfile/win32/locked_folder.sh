#!/bin/sh
# Prepares, on the build machine, a folder that the Windows tests under Wine cannot write: an
# export file and an earlier copy in it, then the folder made immutable (as root, whom plain
# permissions do not stop) or read-only. Wine reports either as access denied.
#   locked_folder.sh lock FOLDER SAMPLE | unlock FOLDER
set -eu
folder="$2"
case "$1" in
  lock)
    chattr -i "$folder" 2>/dev/null || true  # left locked by a run that was cut short
    rm -rf "$folder"
    mkdir -p "$folder"
    cp "$3" "$folder/in.AEF"
    printf 'earlier copy' >"$folder/in.fix"
    chattr +i "$folder" 2>/dev/null || chmod a-w "$folder"
    ;;
  unlock)
    chattr -i "$folder" 2>/dev/null || true
    chmod u+w "$folder" 2>/dev/null || true
    rm -rf "$folder"
    ;;
esac
