#!/usr/bin/env bash
# Makes the Debian package in a configured and built folder (default build/release), checks its
# metainfo, and lists the package's fields and contents.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net app/lumatrim.metainfo.xml
fi
(cd "$build" && rm -f lumatrim_*.deb && cpack -G DEB)
deb=$(ls "$build"/lumatrim_*.deb)
dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"
# Both programs, the desktop entry, the icon, the metainfo and the manual pages are in it.
for path in ./usr/bin/lumatrim-cli ./usr/bin/lumatrim ./usr/share/applications/lumatrim.desktop \
  ./usr/share/icons/hicolor/scalable/apps/lumatrim.svg \
  ./usr/share/metainfo/io.github.lumatrim.Lumatrim.metainfo.xml \
  ./usr/share/man/man1/lumatrim-cli.1.gz ./usr/share/man/man1/lumatrim.1.gz \
  ./usr/share/bash-completion/completions/lumatrim-cli; do
  grep -q -- " $path\( \|$\)" <<<"$contents" || { echo "missing from $deb: $path"; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
for library in libqt6widgets6 zlib1g; do
  grep -q "$library" <<<"$depends" || { echo "$deb does not depend on $library"; exit 1; }
done
echo "Made $deb"
