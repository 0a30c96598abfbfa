#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, configures build-pkg/
# (or $BUILD_DIR) with the installation root /opt/velmora (or $AUDITLOG_ROOT)
# and Debian's hardened build flags, builds, and runs CPack. Prints the path
# of the .deb on its last line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-pkg}"
prefix="${AUDITLOG_ROOT:-/opt/velmora}"
"$root/scripts/deps.sh"
if [ -f "$build/CMakeCache.txt" ]; then
    # A tree already configured (the CI's) keeps its flags; only the root is set.
    cmake -S "$root" -B "$build" -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
else
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cppflags="$(dpkg-buildflags --get CPPFLAGS)"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DAUDITLOG_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
          -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
          -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
          -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/packages/*.deb
