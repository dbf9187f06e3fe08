#!/bin/sh
# Checks a Debian package of the build: its fields, that its dependencies name the
# libraries the programs link, that it holds exactly the programs, their manual pages
# and what a desktop needs, and that the programs work from the unpacked tree.
# Usage: test-package.sh PACKAGE_DIR VERSION EXAMPLES_DIR
set -eu
dir=$1
version=$2
examples=$3
arch=$(dpkg --print-architecture)
deb=$dir/celwright_${version}_$arch.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
[ -f "$deb" ] || fail "$deb was not made"

field() { dpkg-deb -f "$deb" "$1"; }
for pair in "Package celwright" "Version $version" "Architecture $arch" "Section graphics"; do
  set -- $pair
  [ "$(field "$1")" = "$2" ] || fail "$1 is \"$(field "$1")\", not \"$2\""
done
field Maintainer | grep -q '^[^<]\+ <[^@>]\+@[^>]\+>$' || fail "Maintainer has no name and address: $(field Maintainer)"
[ "$(field Description | wc -l)" -gt 2 ] || fail "the description has no long part"
# dpkg-shlibdeps found the shared libraries, with the versions they need.
depends=$(field Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libspng0 libstdc++6 libc6; do
  echo ", $depends" | grep -qF ", $lib (>= " || fail "Depends lacks $lib: $depends"
done

# Exactly these files (no test, benchmark or library left over from the build),
# the programs executable by everyone and everything owned by root.
dpkg-deb -c "$deb" >"$work/listing"
awk '$1 !~ /^d/ { print $6 }' "$work/listing" | sort >"$work/files"
sort >"$work/expected" <<LIST
./usr/bin/celwright
./usr/bin/celwright-cli
./usr/share/applications/celwright.desktop
./usr/share/icons/hicolor/scalable/apps/celwright.svg
./usr/share/man/man1/celwright-cli.1.gz
./usr/share/man/man1/celwright.1.gz
./usr/share/metainfo/org.celwright.celwright.metainfo.xml
./usr/share/mime/packages/celwright.xml
LIST
diff "$work/expected" "$work/files" >"$work/diff" || { cat "$work/diff"; fail "the package holds other files"; }
awk '$1 !~ /^d/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { exit 1 }' "$work/listing" || fail "a program is not executable"
awk '$2 != "root/root" { exit 1 }' "$work/listing" || fail "not everything belongs to root"

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
for program in celwright celwright-cli; do
  file "$usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
  # The pages come from the programs' own --help and --version.
  page=$usr/share/man/man1/$program.1.gz
  title=$(echo "$program" | tr a-z A-Z)
  gzip -dc "$page" | grep -q "^\.TH $title \"1\" \".*\" \"$program $version\"" || fail "$page has no title for $program $version"
  # help2man found the synopsis and the description in the help's layout.
  for section in SYNOPSIS DESCRIPTION; do
    gzip -dc "$page" | grep -q "^\.SH $section" || fail "$page has no $section"
  done
done
gzip -dc "$usr/share/man/man1/celwright-cli.1.gz" | grep -q 'atlas PROJECT' || fail "the celwright-cli page lacks its commands"
gzip -dc "$usr/share/man/man1/celwright.1.gz" | grep -q 'Import SIF' || fail "the celwright page lacks its help"
desktop-file-validate "$usr/share/applications/celwright.desktop" || fail "desktop-file-validate refused the entry"
appstreamcli validate --no-net --strict "$usr/share/metainfo/org.celwright.celwright.metainfo.xml" >"$work/as" 2>&1 \
  || { cat "$work/as"; fail "appstreamcli refused the metainfo"; }

# The unpacked programs run on their own (no display needed for these).
[ "$("$usr/bin/celwright" --version)" = "celwright $version" ] || fail "celwright --version"
[ "$("$usr/bin/celwright-cli" --version)" = "celwright-cli $version" ] || fail "celwright-cli --version"
"$usr/bin/celwright-cli" export "$examples/walker.sip" "$work/walker.sif" --mode 16 >"$work/out" || fail "export"
grep -q '^Wrote .*walker.sif: 256 x 96 sheet, 16-bit color' "$work/out" || fail "export said: $(cat "$work/out")"
"$usr/bin/celwright-cli" info "$work/walker.sif" >"$work/info" || fail "info of the exported file"
grep -q '^Sheet size: *256 x 96$' "$work/info" && grep -q '^Actions: *2$' "$work/info" || fail "info said: $(cat "$work/info")"
echo "checked $deb"
