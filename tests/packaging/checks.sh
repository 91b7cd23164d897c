# Helpers of the packaging checks, sourced by them. A failed check is counted and reported,
# not fatal, so that one run shows everything that is wrong.
set -euo pipefail
export LC_ALL=C

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# take_build_args USAGE ALLOW_MORE ARG...: the build folder, version and application id every
# check is given first (sets build, version and app_id); exit 2 with USAGE when they are not
# there, or when more follow and ALLOW_MORE is not "more".
take_build_args() {
  local usage=$1 more=$2
  shift 2
  if [ $# -lt 3 ] || { [ $# -gt 3 ] && [ "$more" != more ]; }; then
    echo "usage: $usage" >&2
    exit 2
  fi
  build=$1
  version=$2
  app_id=$3
}

# Exit 77, the tests' skip code, when a tool that a check needs is not installed.
require_tools() {
  local tool
  for tool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# finish WHAT SUMMARY: exit 1 if a check failed, else print SUMMARY.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures $1 failed" >&2
    exit 1
  fi
  echo "$2"
}
