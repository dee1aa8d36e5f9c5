#!/usr/bin/env bash
# The game installed as a desktop game: `cmake --install` into a scratch
# prefix with its desktop entry and metainfo validated, then the Debian package
# from cpack installed with apt-get, run and removed again.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" >/dev/null
for f in bin/soccer bin/soccer-relay lib/systemd/system/soccer-relay.service share/man/man6/soccer.6 \
         share/icons/hicolor/{32x32,64x64,128x128,256x256}/apps/example.torvelun_soccer.Soccer.png; do
    [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml

rm -f build/soccer_*.deb
(cd build && cpack -G DEB >/dev/null)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq ./build/soccer_*.deb >/dev/null
[ "$(command -v soccer)" = /usr/bin/soccer ]
soccer --version
soccer-relay --help >/dev/null
[ -f /usr/lib/systemd/system/soccer-relay.service ] || [ -f /lib/systemd/system/soccer-relay.service ]
$sudo apt-get remove -y -qq soccer >/dev/null
