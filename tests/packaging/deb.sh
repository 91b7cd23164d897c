#!/usr/bin/env bash
# Usage: deb.sh BUILD_DIR VERSION APP_ID [RUNTIME_PLUGIN...]
#
# Builds the Debian package into a scratch folder and checks it: its name and fields, its
# files, stripped programs, and a Depends that names the package of every shared library
# the three programs link and of every Qt plugin given (loaded at run time, so invisible to
# dpkg-shlibdeps). Exit 77 (skip) only when a packaging tool is missing.
source "$(dirname "$0")/checks.sh"

take_build_args "$0 BUILD_DIR VERSION APP_ID [RUNTIME_PLUGIN...]" more "$@"
plugins=("${@:4}")

require_tools cpack dpkg dpkg-deb dpkg-shlibdeps readelf ldd

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT

arch=$(dpkg --print-architecture)
if ! cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
fi
shopt -s nullglob
debs=("$work/out/velmora_${version}-"*"_${arch}.deb")
shopt -u nullglob
if [ ${#debs[@]} -ne 1 ]; then
  echo "FAIL: expected one velmora_${version}-*_${arch}.deb, cpack made:" >&2
  ls "$work/out" >&2
  exit 1
fi
deb=${debs[0]}
echo "built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velmora ] || fail "Package is '$(field Package)'"
case $(field Version) in
  "$version"-*) ;;
  *) fail "Version '$(field Version)' is not $version-<release>" ;;
esac
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
grep -qE '^.+ <[^@ ]+@[^> ]+>$' <<<"$(field Maintainer)" || fail "Maintainer '$(field Maintainer)' is not 'Name <address>'"
[ -n "$(field Description)" ] || fail "no Description"
grep -qw bash-completion <<<"$(field Recommends)" || fail "bash-completion is not recommended"

# The package names a relation holds, alternatives included, without versions.
package_names() { tr ',|' '\n\n' | sed -E 's/\(.*\)//; s/:[a-z0-9]+//; s/^[[:space:]]+//; s/[[:space:]]+$//' | grep -v '^$' | sort -u; }
depends=$(field Depends | package_names)
echo "Depends: $(field Depends)"

# The files.
listing=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|')
for f in /usr/bin/velmora /usr/bin/velmora-cli /usr/bin/vd840-sim \
  "/usr/share/applications/$app_id.desktop" \
  "/usr/share/metainfo/$app_id.metainfo.xml" \
  "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  "/usr/share/icons/hicolor/48x48/apps/$app_id.png" \
  "/usr/share/icons/hicolor/256x256/apps/$app_id.png" \
  /usr/share/man/man1/velmora.1.gz /usr/share/man/man1/velmora-cli.1.gz /usr/share/man/man1/vd840-sim.1.gz \
  /usr/share/bash-completion/completions/velmora-cli \
  /usr/share/doc/velmora/README.md; do
  grep -qxF -- "$f" <<<"$listing" || fail "the package lacks $f"
done
outside=$(grep -vE '^/(usr(/.*)?)?$' <<<"$listing" || true; grep -E '^/usr/local(/|$)' <<<"$listing" || true)
[ -z "$outside" ] || fail "the package installs outside /usr or into /usr/local:"$'\n'"$outside"

# The programs: stripped, and every library they link is provided for by Depends.
dpkg-deb -x "$deb" "$work/root"
owner() {
  # The package that owns a file; merged /usr means it may be registered under either path.
  local path=$1 real
  real=$(readlink -f "$path")
  for candidate in "$path" "$real" "${real#/usr}" "/usr$real"; do
    dpkg -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1 && return 0
  done
  return 1
}
for program in velmora velmora-cli vd840-sim; do
  binary=$work/root/usr/bin/$program
  [ -f "$binary" ] || continue
  if readelf -S "$binary" | grep -q '\.debug_info'; then
    fail "$program is not stripped"
  fi
  resolved=$(ldd "$binary")
  while IFS= read -r soname; do
    path=$(awk -v lib="$soname" '$1 == lib && $2 == "=>" { print $3 }' <<<"$resolved")
    if [ -z "$path" ] || [ "$path" = "not" ]; then
      fail "$program links $soname, which does not resolve here"
      continue
    fi
    package=$(owner "$path") || { fail "$program links $path, which no package owns"; continue; }
    grep -qxF -- "$package" <<<"$depends" || fail "$program links $soname from $package, not in Depends"
  done < <(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
done
for plugin in "${plugins[@]}"; do
  package=$(owner "$plugin") || { fail "no package owns the plugin $plugin"; continue; }
  grep -qxF -- "$package" <<<"$depends" || fail "the plugin $(basename "$plugin") comes from $package, not in Depends"
done

finish "package checks" "every package check passed"
