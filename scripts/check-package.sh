#!/usr/bin/env bash
# Builds the Debian package and installs it on a clean Debian 12 made with debootstrap in a
# folder, then runs the installed program there: --version, an evaluation, an image and a page.
# Needs root and Debian's package archive; takes a few minutes (not part of ./test.sh).
#
#   scripts/check-package.sh            (KWS_CHROOT=/path to reuse a prepared system)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
kws_install_missing $KWS_BUILD_PACKAGES $KWS_RUNTIME_PACKAGES dpkg-dev debootstrap

build=build-package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWS_BUILD_TESTS=OFF -DKWS_BUILD_BENCH=OFF \
      -DCMAKE_INSTALL_PREFIX=/usr > /dev/null
cmake --build "$build"
(cd "$build" && cpack > /dev/null)
deb=$(ls "$build"/kwsekunde_*.deb | head -1)
echo "package: $deb"
dpkg-deb --field "$deb" Depends

# The package archive this machine's apt already uses for Debian 12 ("bookworm"), so that no
# archive host is written down here.
debian_mirror() {
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(TARGET_OF) $(IDENTIFIER)' |
        awk '$2 == "bookworm" && $3 == "deb" && $4 == "Packages" { print $1; exit }'
}

root=${KWS_CHROOT:-/tmp/kws-debian12}
if [ ! -x "$root/usr/bin/apt-get" ]; then
    mirror=$(debian_mirror)
    [ -n "$mirror" ] || { echo "no Debian 12 archive in this machine's apt configuration" >&2; exit 1; }
    echo "making a clean Debian 12 in $root from $mirror"
    debootstrap --variant=minbase bookworm "$root" "$mirror" > /dev/null
fi
cp "$deb" examples/six-curve-sample.txt "$root/tmp/"
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
trap 'umount "$root/proc" 2>/dev/null || true' EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" > /dev/null
in_root kwsekunde --version
in_root kwsekunde --evaluate /tmp/six-curve-sample.txt
in_root kwsekunde --evaluate /tmp/six-curve-sample.txt --image /tmp/graph.png --pdf /tmp/page.pdf
ls -la "$root/tmp/graph.png" "$root/tmp/page.pdf"
echo "the package installs and runs on a clean Debian 12"
