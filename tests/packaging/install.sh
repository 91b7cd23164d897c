#!/usr/bin/env bash
# Usage: install.sh BUILD_DIR VERSION APP_ID
#
# Installs the build into a scratch prefix and checks what a desktop and a shell get from
# it: exactly the three programs, each running and telling the project's version; the
# desktop entry, AppStream metadata and manual pages passing their validators; the icon at
# every size; the bash completion; the README. Exit 77 (skip) only when a checking tool is
# missing.
source "$(dirname "$0")/checks.sh"

take_build_args "$0 BUILD_DIR VERSION APP_ID" exact "$@"

require_tools cmake desktop-file-validate appstreamcli groff gzip readelf bash

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi

expected=(
  bin/velmora
  bin/velmora-cli
  bin/vd840-sim
  "share/applications/$app_id.desktop"
  "share/metainfo/$app_id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$app_id.svg"
  share/man/man1/velmora.1.gz
  share/man/man1/velmora-cli.1.gz
  share/man/man1/vd840-sim.1.gz
  share/bash-completion/completions/velmora-cli
  share/doc/velmora/README.md
)
icon_sizes=(16 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done

# Everything expected is there, and nothing else apart from the README's pictures.
for f in "${expected[@]}"; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
while IFS= read -r f; do
  case $f in
    share/doc/velmora/docs/*.png) continue ;;
  esac
  printf '%s\n' "${expected[@]}" | grep -qxF -- "$f" || fail "installed but not expected: $f"
done < <(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)

# The README's pictures go with it.
while IFS= read -r picture; do
  [ -f "$prefix/share/doc/velmora/$picture" ] || fail "README shows $picture, which is not installed"
done < <(grep -oE '\(docs/[^)]+\.png\)' "$prefix/share/doc/velmora/README.md" | tr -d '()' | sort -u)

# The programs: executable, free of paths into the build tree, and of this version.
for program in velmora velmora-cli vd840-sim; do
  path=$prefix/bin/$program
  [ -x "$path" ] || { fail "$program is not executable"; continue; }
  if readelf -d "$path" | grep -E 'R(UN)?PATH' | grep -qF -- "$build"; then
    fail "$program keeps a library path into the build tree: $(readelf -d "$path" | grep -E 'R(UN)?PATH')"
  fi
done
out=$("$prefix/bin/velmora-cli" --version 2>&1) || fail "velmora-cli --version exited with status $?"
grep -qE "(^|[^0-9.])$version([^0-9.]|\$)" <<<"$out" || fail "velmora-cli --version does not print $version: $out"
out=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/velmora" --version 2>/dev/null) || fail "velmora --version exited with status $?"
grep -qE "(^|[^0-9.])$version([^0-9.]|\$)" <<<"$out" || fail "velmora --version does not print $version: $out"
out=$("$prefix/bin/vd840-sim" --help 2>&1) || fail "vd840-sim --help exited with status $?"
grep -q -- '--station' <<<"$out" || fail "vd840-sim --help does not list its options: $out"

# Desktop entry: valid, and starting the installed program with the installed icon.
desktop=$prefix/share/applications/$app_id.desktop
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $app_id.desktop"
  exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -x "$prefix/bin/$exec_program" ] || fail "Exec=$exec_program is not an installed program"
  grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry's icon is not $app_id"
  grep -qx 'Terminal=false' "$desktop" || fail "the desktop entry does not say Terminal=false"
fi

# AppStream metadata: no errors or warnings, and it names this id, entry, version and programs.
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
if [ -f "$metainfo" ]; then
  report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate failed:"$'\n'"$report"
  if grep -qE '^[EW]:' <<<"$report"; then
    fail "appstreamcli validate warns:"$'\n'"$report"
  fi
  grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo's id is not $app_id"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
    || fail "the metainfo does not launch $app_id.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
  for program in velmora velmora-cli vd840-sim; do
    grep -q "<binary>$program</binary>" "$metainfo" || fail "the metainfo does not provide $program"
  done
fi

# Icons: a readable drawing, and every render of the size its folder says.
svg=$prefix/share/icons/hicolor/scalable/apps/$app_id.svg
if [ -f "$svg" ] && ! grep -q '<svg' "$svg"; then fail "$app_id.svg is not an SVG drawing"; fi
for size in "${icon_sizes[@]}"; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  [ -f "$png" ] || continue
  magic=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
  [ "$magic" = 89504e470d0a1a0a ] || { fail "${size}x${size} icon is not a PNG"; continue; }
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png")
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "${size}x${size} icon is ${w}x${h}"
done

# Manual pages: render without warnings; the pages made here carry the version.
for page in velmora velmora-cli vd840-sim; do
  gz=$prefix/share/man/man1/$page.1.gz
  [ -f "$gz" ] || continue
  text=$(gzip -dc "$gz") || { fail "$page.1.gz is not gzip"; continue; }
  warnings=$(groff -man -ww -z <<<"$text" 2>&1) || fail "groff fails on $page.1"
  [ -z "$warnings" ] || fail "$page.1 renders with warnings:"$'\n'"$warnings"
  grep -q '^\.SH NAME' <<<"$text" || fail "$page.1 has no NAME section"
  case $page in
    velmora | vd840-sim)
      grep -m1 '^\.TH' <<<"$text" | grep -qF "Velmora $version\"" \
        || fail "$page.1's title line does not carry version $version"
      if grep -q '@[A-Z_]*@' <<<"$text"; then fail "$page.1 keeps an unfilled @VARIABLE@"; fi
      ;;
  esac
done

# Completion: a bash that sources it completes velmora-cli.
completion=$prefix/share/bash-completion/completions/velmora-cli
if [ -f "$completion" ]; then
  bash -n "$completion" || fail "the completion script has a syntax error"
  bash -c 'source "$1" && complete -p velmora-cli' _ "$completion" >/dev/null 2>&1 \
    || fail "sourcing the completion script does not set up completion for velmora-cli"
fi

finish "installation checks" "installed $(cd "$prefix" && find . -type f | wc -l) files; every check passed"
