#!/usr/bin/env bash
# The Debian package of this build: cpack -G DEB into a temporary folder, then
# scripts/try-deb.sh installs it with dpkg into a scratch root and plays it there.
# Skipped (77) where that cannot be done: not root, no dpkg, no overlay mounts.
#   usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root for dpkg and the scratch root"; exit 77; }
command -v dpkg-shlibdeps >/dev/null || { echo "SKIP: no dpkg-shlibdeps (dpkg-dev)"; exit 77; }
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
mkdir -p "$probe"/{u,w,m}
if ! unshare --mount sh -c "mount -t overlay o -o lowerdir=/,upperdir=$probe/u,workdir=$probe/w $probe/m" 2>/dev/null; then
    echo "SKIP: no overlay mounts here"
    exit 77
fi
cpack -G DEB -B "$probe/pkg" --config "$build/CPackConfig.cmake" >"$probe/cpack.log" || { cat "$probe/cpack.log"; exit 1; }
deb=$(ls "$probe"/pkg/*.deb)
echo "built $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$'
"$src/scripts/try-deb.sh" "$deb"
