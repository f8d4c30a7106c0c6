#!/usr/bin/env bash
# A manual page must render without a single warning under groff's strictest checks, in the
# terminal and at a narrow width (where long words and tables are the first to break).
# Usage: man_page_render_test.sh PAGE
set -euo pipefail
page=$1
command -v groff >/dev/null || { echo "groff is not installed"; exit 1; }
status=0
for width in 78n 50n; do
  warnings=$(groff -man -ww -rLL="$width" -Tutf8 -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    echo "$page, line length $width:"
    echo "$warnings"
    status=1
  fi
done
[ $status -eq 0 ] && echo "$page renders without warnings"
exit $status
