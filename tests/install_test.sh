#!/usr/bin/env bash
# Installs the build into a staging folder and checks what a desktop needs of it: every file in
# place, a valid desktop entry and file-type description that agree with each other, and a file
# manager that recognises a drawing by its signature and opens it with Torvane.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR SCRATCH_DIR HAS_WINDOW(0|1)
set -euo pipefail

build=$1 source=$2 scratch=$3 has_window=$4
stage=$scratch/stage
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$stage" >/dev/null

share=$stage/share
desktop=$share/applications/torvane.desktop
mime=$share/mime/packages/torvane.xml
help=$share/torvane/Torvane.HLP
expected=(bin/torvane-convert share/torvane/Torvane.HLP share/applications/torvane.desktop
  share/icons/hicolor/scalable/apps/torvane.svg share/mime/packages/torvane.xml
  share/locale/ja/LC_MESSAGES/torvane-convert.mo
  share/man/man1/torvane-convert.1)
[ "$has_window" = 1 ] && expected+=(bin/torvane share/man/man1/torvane.1 bin/torvane-thumbnailer
  share/thumbnailers/torvane.thumbnailer share/man/man1/torvane-thumbnailer.1)
for file in "${expected[@]}"; do
  [ -f "$stage/$file" ] || fail "$file is not installed"
done
[ "$has_window" = 1 ] || [ ! -e "$stage/bin/torvane" ] || fail "bin/torvane installed without the window"
"$stage/bin/torvane-convert" --help >/dev/null || fail "the installed torvane-convert does not run"
# The installed program finds its Japanese messages beside its folder.
japanese=$(LANGUAGE=ja LANG=C.UTF-8 LC_ALL= "$stage/bin/torvane-convert" --bogus 2>&1 || true)
grep -q '不明なオプション' <<<"$japanese" || fail "the installed torvane-convert does not speak Japanese under a Japanese locale"
# ... and its picture writers, a module it loads only for pictures, the same way.
if [ "$has_window" = 1 ]; then
  "$stage/bin/torvane-convert" --quiet --to svg -o "$scratch/plan.svg" "$source/samples/plan.jwc" &&
    [ -s "$scratch/plan.svg" ] || fail "the installed torvane-convert cannot write pictures"
fi

# One version everywhere: the programs say the one their manual pages state.
version=$("$stage/bin/torvane-convert" --version | sed -n 's/^torvane-convert //p')
[ -n "$version" ] || fail "torvane-convert --version names no version"
if [ "$has_window" = 1 ]; then
  [ "$("$stage/bin/torvane-thumbnailer" --version)" = "torvane-thumbnailer $version" ] ||
    fail "torvane-thumbnailer --version does not say $version"
fi
for page in "$share"/man/man1/*.1; do
  grep -q "^\.TH .* \"Torvane $version\" " "$page" || fail "${page##*/} does not state version $version"
done

# Every manual page reads without a word from troff (which warns of each character it must drop),
# on a UTF-8 terminal and on a bare system without a locale, where Japanese is spelled in Latin letters.
for page in "$share"/man/man1/*.1; do
  for device in utf8 ascii; do
    complaints=$(preconv -e UTF-8 "$page" | groff -ww -z -mandoc -T"$device" 2>&1)
    [ -z "$complaints" ] || fail "${page##*/} on $device: $complaints"
  done
done

desktop-file-validate "$desktop" || fail "torvane.desktop is not a valid desktop entry"
xmllint --noout "$mime" || fail "torvane.xml is not well-formed"
xmllint --noout "$share/icons/hicolor/scalable/apps/torvane.svg" || fail "torvane.svg is not well-formed"

# The entry names the installed program and icon, and only file types that torvane.xml defines.
grep -qx 'Exec=torvane %F' "$desktop" || fail "the desktop entry does not start torvane with the files"
grep -qx 'Icon=torvane' "$desktop" || fail "the desktop entry's icon is not the installed torvane.svg"
types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d')
[ -n "$types" ] || fail "the desktop entry names no file type"
for type in $types; do
  grep -q "<mime-type type=\"$type\">" "$mime" || fail "the desktop entry's type $type is not described in torvane.xml"
done

# The program opens the contents and the first topic of its help by these anchors.
iconv -f UTF-8 -t UTF-8 "$help" >/dev/null || fail "Torvane.HLP is not UTF-8"
grep -qi '<meta charset="utf-8">' "$help" || fail "Torvane.HLP does not declare UTF-8"
for anchor in contents topic1; do
  grep -q "id=\"$anchor\"" "$help" || fail "Torvane.HLP has no element id=\"$anchor\""
done
xmllint --html --noout "$help" || fail "Torvane.HLP is not clean HTML"
if [ "$has_window" = 1 ]; then
  # The thumbnailer entry runs the installed program on both file types, without a display.
  thumbnailer=$share/thumbnailers/torvane.thumbnailer
  grep -qx 'Exec=torvane-thumbnailer -s %s %i %o' "$thumbnailer" || fail "the thumbnailer entry does not run torvane-thumbnailer"
  for type in application/x-jw-cad-jwc application/x-jw-cad-jwk; do
    grep -q "^MimeType=.*$type;" "$thumbnailer" || fail "the thumbnailer entry lacks $type"
    grep -q "<mime-type type=\"$type\">" "$mime" || fail "the thumbnailer's type $type is not described in torvane.xml"
  done
  env -u DISPLAY -u WAYLAND_DISPLAY "$stage/bin/torvane-thumbnailer" -s 128 "$source/samples/plan.jwc" "$scratch/thumb.png" \
    || fail "the installed thumbnailer does not run without a display"
fi

# What Debian's triggers do after installation, then what a file manager does with a drawing:
# its type comes from the signature alone (no extension), and opening it starts torvane with it.
XDG_DATA_DIRS="$share:/usr/share" update-mime-database "$share/mime"
update-desktop-database "$share/applications"
if command -v gio >/dev/null; then
  mkdir -p "$scratch/home" "$scratch/fakebin" "$scratch/files"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s"\n' "$scratch/launched" > "$scratch/fakebin/torvane"
  chmod +x "$scratch/fakebin/torvane"
  cp "$source/samples/plan.jwc" "$scratch/files/plan"
  cp "$source/samples/part.jwk" "$scratch/files/part"
  cp "$source/samples/plan.jwc" "$scratch/files/PLAN.JWC"
  run_gio() {
    env PATH="$scratch/fakebin:$PATH" XDG_DATA_HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home" \
      XDG_DATA_DIRS="$share:/usr/share" gio "$@"
  }
  for case in plan:application/x-jw-cad-jwc part:application/x-jw-cad-jwk PLAN.JWC:application/x-jw-cad-jwc; do
    file=$scratch/files/${case%%:*} want=${case#*:}
    got=$(run_gio info -a standard::content-type "$file" | sed -n 's/^ *standard::content-type: //p')
    [ "$got" = "$want" ] || fail "${case%%:*} is recognised as '$got', not $want"
  done
  run_gio open "$scratch/files/plan" || fail "gio cannot open a drawing"
  for _ in $(seq 50); do [ -s "$scratch/launched" ] && break; sleep 0.1; done
  [ "$(cat "$scratch/launched" 2>/dev/null)" = "$scratch/files/plan" ] || fail "opening a drawing does not start torvane with it"
else
  echo "gio is not installed: recognition and opening by a file manager not checked"
fi

[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit $((failures > 0))
