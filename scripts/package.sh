#!/usr/bin/env bash
# Builds the .deb with CPack from a build folder, checks its dependencies and contents, then
# unpacks it into an empty folder and runs the binaries from there.
#   scripts/package.sh [BUILD_DIR [PACKAGE_DIR]]
# BUILD_DIR defaults to $BUILD_DIR or build (built here when needed); the .deb is made in
# PACKAGE_DIR, by default BUILD_DIR/package. PACKAGE_NO_BUILD=1 packs what is built as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${BUILD_DIR:-build}}
if [ ! -f "$BUILD/CPackConfig.cmake" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
BUILD=$(cd "$BUILD" && pwd)
PKG=${2:-$BUILD/package}
[ "${PACKAGE_NO_BUILD:-0}" = 1 ] || cmake --build "$BUILD" -j2
command -v dpkg-shlibdeps >/dev/null || { echo "package.sh: dpkg-shlibdeps (dpkg-dev) is needed" >&2; exit 2; }

mkdir -p "$PKG"
rm -f "$PKG"/romwright_*.deb
cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$PKG" >"$PKG/cpack.log" ||
    { cat "$PKG/cpack.log" >&2; exit 1; }
deb=$(ls "$PKG"/romwright_*.deb)
echo "package: $deb ($(du -k "$deb" | cut -f1) KB)"
dpkg-deb -f "$deb" Package Version Architecture Depends

fail() { echo "package.sh: $*" >&2; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
has_gui=0
[ -x "$BUILD/src/romwright" ] && has_gui=1
# What the binaries link must be found in Debian packages; what they do not link must not
# be asked for.
for lib in libc6 libstdc++6 libqt6core6 libqt6serialport6; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
if [ $has_gui = 1 ]; then
    grep -q '\blibqt6widgets6\b' <<<"$depends" || fail "Depends lacks libqt6widgets6: $depends"
fi
for bad in libgtest libqt6test; do
    grep -q "$bad" <<<"$depends" && fail "Depends names a test library: $depends"
done
want=(./usr/bin/romwright-cli ./usr/bin/romwright-sim
      ./usr/share/applications/romwright.desktop
      ./usr/share/icons/hicolor/scalable/apps/romwright.svg)
[ $has_gui = 1 ] && want+=(./usr/bin/romwright)
[ -f docs/romwright-cli.1 ] && want+=(./usr/share/man/man1/romwright-cli.1)
for f in "${want[@]}"; do
    grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
done

dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
dpkg -x "$deb" "$dest"
for b in "$dest"/usr/bin/*; do
    if ldd "$b" | grep -q 'not found'; then
        ldd "$b" | grep 'not found' >&2
        fail "$(basename "$b") needs a library that is not installed"
    fi
done
"$dest/usr/bin/romwright-cli" --help >"$dest/help.txt" || fail "romwright-cli --help failed"
grep -qi 'usage' "$dest/help.txt" || fail "romwright-cli --help printed no usage"
echo "romwright-cli --help from the unpacked package: $(head -n1 "$dest/help.txt")"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$dest/usr/share/applications/romwright.desktop"
fi
grep -q '^Exec=romwright' "$dest/usr/share/applications/romwright.desktop" ||
    fail "the desktop entry does not start romwright"
echo "package.sh: $deb is complete and its command line runs"
