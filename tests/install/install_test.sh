#!/usr/bin/env bash
# Installs the player into a temporary DESTDIR and plays with the installed
# program, from folders with no system library or plug-in beside the game or
# the program: the demo, whose system library must come from the installed
# data folder (for the player and for vp3tool check), and a game showing a TGA picture, which only the installed
# plug-in reads. Then the desktop files and the manual pages.
# Arguments: CMAKE BUILD_DIR DEMO_PACKAGE DEMO_MEDIA PLAYTHROUGH BINDIR DATAROOT
#            DATADIR PLUGINDIR MANDIR, the last five absolute install paths.
set -euo pipefail
cmake=$1 build=$2 package=$3 media=$4 playthrough=$5
bindir=$6 dataroot=$7 datadir=$8 plugindir=$9 mandir=${10}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

dest=$work/dest
DESTDIR=$dest "$cmake" --install "$build" >/dev/null
for file in "$bindir/orvanta3" "$bindir/vp3tool" "$datadir/veltort3.vlb" "$plugindir/tga.spi" \
  "$mandir/man6/orvanta3.6" "$mandir/man1/vp3tool.1" "$dataroot/applications/orvanta3.desktop" \
  "$dataroot/mime/packages/orvanta3.xml" "$dataroot/icons/hicolor/scalable/apps/orvanta3.svg"; do
  [ -f "$dest$file" ] || fail "$file was not installed"
done
player=$dest$bindir/orvanta3
[ ! -e "$dest$bindir/veltort3.vlb" ] || fail "a system library beside the installed player"

mkdir "$work/demo"
cp "$package" "$work/demo/demo.vp3"
cp -r "$media" "$work/demo/demo"
cd "$work/demo"
status=0
"$player" --headless --seed 1 --input "$playthrough" --trace trace.txt --messages messages.txt \
  demo.vp3 || status=$?
[ "$status" -eq 0 ] || fail "the demo ended with status $status"
[ ! -s messages.txt ] || fail "the demo showed message boxes: $(cat messages.txt)"
grep -q '^[0-9]* _system/_init#0 ' trace.txt || fail "the system library's first page did not run"
# Its choice's first item, then its last page ("demo/the end").
grep -q '^[0-9]* デモ/森#0 ' trace.txt || fail "the demo's choice did not lead to the forest"
tail -n 1 trace.txt | grep -q '^[0-9]* デモ/おわり#' || fail "the demo stopped early: $(tail -n 3 trace.txt)"

# The installed vp3tool checks a game with the installed system library.
findings=$("$dest$bindir/vp3tool" check demo.vp3) || fail "vp3tool check failed on the demo: $findings"
[ -z "$findings" ] || fail "vp3tool check found faults in the demo: $findings"

# A plain scenario file is a game too; its picture is on disk.
mkdir "$work/tga"
cd "$work/tga"
printf '%s\r\n' '/// a TGA picture' '<Head="Velto">' FileType=OV3 StartBook=b StartPage=p \
  '<Head End>' '<Book="b">' '<Page="p">' GraphicDraw.FileName=picture.tga @GraphicDraw \
  '<Page End>' '<Book End>' >game.vp3
# 1 x 1, 24-bit, one red pixel (blue, green, red).
printf '\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\30\0\0\0\377' >picture.tga
"$player" --headless --messages messages.txt game.vp3 || fail "the TGA game ended with status $?"
[ ! -s messages.txt ] || fail "the installed plug-in did not read the picture: $(cat messages.txt)"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$dest$dataroot/applications/orvanta3.desktop" || fail "the desktop entry is not valid"
else
  echo "desktop-file-validate is not installed: the desktop entry was not checked"
fi
if command -v update-mime-database >/dev/null; then
  update-mime-database "$dest$dataroot/mime"
  grep -q 'application/x-orvanta3-package:\*\.vp3' "$dest$dataroot/mime/globs2" ||
    fail "the package type has no *.vp3 pattern"
  grep -q 'application/x-orvanta3-package' "$dest$dataroot/mime/magic" ||
    fail "the package type has no magic"
else
  echo "update-mime-database is not installed: the package type was not checked"
fi
if command -v man >/dev/null; then
  for page in man6/orvanta3.6 man1/vp3tool.1; do
    out=$(MANWIDTH=80 man --warnings -l "$dest$mandir/$page" 2>&1 >/dev/null) ||
      fail "$page does not render"
    [ -z "$out" ] || fail "$page: $out"
  done
fi
