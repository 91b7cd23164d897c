#!/usr/bin/env bash
# Usage: man-matches-help.sh PROGRAM MANPAGE
#
# Checks that a manual page and the program's --help name the same long options: every
# --option that --help prints is documented in the page's OPTIONS section (Qt's
# --help-all excepted), and every --option documented there is one the program knows.
# MANPAGE may be gzip-compressed.
set -euo pipefail
export LC_ALL=C

if [ $# -ne 2 ]; then
  echo "usage: $0 PROGRAM MANPAGE" >&2
  exit 2
fi
program=$1
page=$2

help=$("$program" --help 2>/dev/null) || {
  echo "FAIL: '$program --help' exited with status $?" >&2
  exit 1
}

case $page in
  *.gz) source_text=$(gzip -dc "$page") ;;
  *) source_text=$(cat "$page") ;;
esac

# The text of every section whose heading names options (OPTIONS, GLOBAL OPTIONS, ...),
# with roff's escapes for hyphens, fonts and hyphenation points taken out.
options_text=$(printf '%s\n' "$source_text" | awk '
  /^\.SH/ { inside = (toupper($0) ~ /OPTION/); next }
  inside { print }
' | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\f(..//g' -e 's/\\%//g' -e 's/\\&//g')

if [ -z "$options_text" ]; then
  echo "FAIL: $page has no OPTIONS section" >&2
  exit 1
fi

long_options() {
  grep -oE -- '(^|[^A-Za-z0-9-])--[A-Za-z0-9][A-Za-z0-9-]*' | sed -E 's/^[^-]*//' | sort -u
}

known=$(printf '%s\n' "$help" | long_options || true)
in_help=$(printf '%s\n' "$known" | grep -vx -- '--help-all' || true)
in_page=$(printf '%s\n' "$options_text" | long_options || true)

if [ -z "$in_help" ]; then
  echo "FAIL: '$program --help' prints no long option" >&2
  exit 1
fi

status=0
undocumented=$(comm -23 <(printf '%s\n' "$in_help") <(printf '%s\n' "$in_page"))
unknown=$(comm -13 <(printf '%s\n' "$known") <(printf '%s\n' "$in_page"))
if [ -n "$undocumented" ]; then
  echo "FAIL: $(basename "$program") --help prints options that $(basename "$page") does not document:" >&2
  printf '  %s\n' $undocumented >&2
  status=1
fi
if [ -n "$unknown" ]; then
  echo "FAIL: $(basename "$page") documents options that $(basename "$program") --help does not print:" >&2
  printf '  %s\n' $unknown >&2
  status=1
fi
if [ $status -eq 0 ]; then
  echo "$(basename "$page") and $(basename "$program") --help agree on $(printf '%s\n' "$in_help" | wc -l) options"
fi
exit $status
