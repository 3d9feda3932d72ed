#!/usr/bin/env bash
# Makes the Debian package in a configured and built folder (default build/release), checks its
# metainfo, its control fields, its contents and lintian's view of it, and lists what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
bash tools/install-deps.sh package
fail() {
  echo "package.sh: $*" >&2
  exit 1
}

appstreamcli validate --no-net app/lumatrim.metainfo.xml
(cd "$build" && rm -f lumatrim_*.deb && cpack -G DEB)
deb=$(ls "$build"/lumatrim_*.deb)
dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"

# Both programs, the desktop entry, the icon, the metainfo, the manual pages, the completion,
# the copyright and the changelog are in it.
for path in ./usr/bin/lumatrim-cli ./usr/bin/lumatrim ./usr/share/applications/lumatrim.desktop \
  ./usr/share/icons/hicolor/scalable/apps/lumatrim.svg \
  ./usr/share/metainfo/io.github.lumatrim.Lumatrim.metainfo.xml \
  ./usr/share/man/man1/lumatrim-cli.1.gz ./usr/share/man/man1/lumatrim.1.gz \
  ./usr/share/bash-completion/completions/lumatrim-cli \
  ./usr/share/doc/lumatrim/copyright ./usr/share/doc/lumatrim/changelog.Debian.gz; do
  grep -q -- " $path\( \|$\)" <<<"$contents" || fail "missing from $deb: $path"
done

# The control fields: a description whose lines are text (a CMake list once put ";" at the start
# of each), a maintainer one can write to, a homepage, and every package the window needs,
# including the Qt platform plugins that Qt's libraries only recommend.
field() { dpkg-deb --field "$deb" "$1"; }
description=$(field Description)
[ "$(wc -l <<<"$description")" -ge 2 ] || fail "the description has no long text"
if grep -q '^ *;' <<<"$description"; then fail "stray ';' in the description: $description"; fi
field Maintainer | grep -Eq '^[^<>@]+ <[^<>@ ]+@[^<>@ ]+\.[a-z]+>$' ||
  fail "maintainer is no name and address: $(field Maintainer)"
if field Maintainer | grep -q '@localhost'; then fail "maintainer at localhost"; fi
field Homepage | grep -Eq '^https://' || fail "no homepage"
depends=$(field Depends)
for package in qt6-qpa-plugins libqt6widgets6 zlib1g; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "$deb does not depend on $package"
done

# The manual renders its example with the glob quoted (roff eats bare quotes, and the shell
# would expand *.gif), and --help names the output folder DIR as the manual does.
page=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/lumatrim-cli.1.gz | gunzip |
  groff -man -Tutf8 -P-cbou 2>&1)
grep -q "'\*\.gif'" <<<"$page" || fail "the manual's find example lost its quotes"
"$build/cli/lumatrim-cli" reduce --help | grep -q -- '-o,--output DIR' ||
  fail "reduce --help does not name -o's value DIR"

# lintian: errors fail, warnings and notes are listed.
lintian --fail-on error --display-level '>=info' "$deb" ||
  fail "lintian found errors in $deb"
echo "Made $deb"
