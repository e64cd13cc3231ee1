#!/usr/bin/env bash
# Builds a Release for installing and makes the Debian packages of the client and the local
# payment service in build-package/:
#   kesto_<version>_amd64.deb, kesto-payment-server_<version>_amd64.deb
# Install them with: sudo apt-get install ./build-package/kesto*_amd64.deb
set -euo pipefail
KESTO_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KESTO_ROOT/scripts/setup.sh"

kesto_install
build="$KESTO_ROOT/build-package"
# Debian's own compiler and linker flags, with every hardening option, as a Debian package is built.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$KESTO_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" -DKESTO_PACKAGE=ON -DKESTO_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/*.deb
