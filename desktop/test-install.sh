#!/bin/sh
# Installs the build into a scratch prefix and checks what a desktop needs:
# both programs, a valid menu entry, its icon, the file types it names and its
# software-centre description.
# Usage: test-install.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share
desktop=$share/applications/celwright.desktop
for f in "$prefix/bin/celwright" "$prefix/bin/celwright-cli" "$desktop" \
         "$share/icons/hicolor/scalable/apps/celwright.svg" "$share/mime/packages/celwright.xml" \
         "$share/metainfo/org.celwright.celwright.metainfo.xml"; do
  [ -f "$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/celwright" ] && [ -x "$prefix/bin/celwright-cli" ] || fail "the programs are not executable"

desktop-file-validate "$desktop" || fail "desktop-file-validate refused $desktop"
# The entry starts the installed program with the file, under the installed icon.
grep -qx 'Exec=celwright %f' "$desktop" || fail "Exec does not pass the file to celwright"
grep -qx 'Icon=celwright' "$desktop" || fail "Icon is not the installed icon"
grep -q '<svg' "$share/icons/hicolor/scalable/apps/celwright.svg" || fail "the icon is no SVG"

# The MIME database compiles the types, with the extensions the editor opens.
update-mime-database "$share/mime" >/dev/null 2>&1 || fail "update-mime-database refused the types"
grep -qx 'application/x-celwright-project:\*\.sip' "$share/mime/globs" || fail "*.sip has no type"
grep -qx 'application/x-celwright-sif:\*\.sif' "$share/mime/globs" || fail "*.sif has no type"
for type in application/x-celwright-project application/x-celwright-sif; do
  grep -q "^MimeType=.*$type;" "$desktop" || fail "the entry does not open $type"
done

# Both programs answer without a display.
"$prefix/bin/celwright" --version | grep -qx 'celwright [0-9][0-9.]*' || fail "celwright --version"
"$prefix/bin/celwright" --help | grep -q 'Usage: celwright \[FILE\]' || fail "celwright --help"
"$prefix/bin/celwright-cli" --help | grep -q '^atlas PROJECT.sip OUTPUT.json' || fail "celwright-cli --help"
set +e
QT_QPA_PLATFORM=offscreen "$prefix/bin/celwright" --bogus 2>/dev/null
status=$?
set -e
[ "$status" -eq 2 ] || fail "an unknown option exits with $status, not 2"
echo "installed and checked in $prefix"
