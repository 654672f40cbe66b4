#!/usr/bin/env bash
# Builds the Debian package, tessaly_<version>_amd64.deb, from a Release build with cpack, and
# prints its path. The build goes to build-package/ (BUILD_DIR says otherwise); arguments go to
# CMake, after this script's own, so that test.sh can package its test build as it stands.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-package}
BUILD_DIR="$build_dir" BUILD_TYPE=Release ./scripts/build.sh -DBUILD_TESTING=OFF "$@" >&2
rm -f "$build_dir"/tessaly_*.deb
(cd "$build_dir" && cpack -G DEB >&2)
ls "$PWD/$build_dir"/tessaly_*.deb
