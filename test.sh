#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and runs every test:
#   1. the formatting of the C++ sources against .clang-format (TESSALY_FORMAT_CHECK=0 skips it);
#   2. the core libraries and their tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. each libFuzzer target for FUZZ_SECONDS (default 30);
#   4. the portable core (support/, platform/, conversion/, mailboxlist/) cross-compiled for
#      Windows with mingw-w64, and its splitter tests under wine64;
#   5. the whole program and its tests (Release);
#   6. the checks a packager runs: desktop-file-validate on the desktop entry, appstreamcli on
#      the metainfo, and lintian on the Debian package made from step 5's build (no errors).
# The sanitizer and test builds check the standard library's preconditions (TESSALY_ASSERTIONS),
# and ctest replays every fuzz target's seeds and committed crashes (tests/fuzz/regressions/).
# TESSALY_QUICK=1 runs step 5 only.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh --test

export QT_QPA_PLATFORM=offscreen
# Chromium's sandbox is turned off only for the tests that run it inside the test process
# (tests/mailconverter/render/CMakeLists.txt): as root it refuses to start there otherwise.
jobs=$(nproc)
werror=ON # warnings as errors (TESSALY_WERROR)

if [[ "${TESSALY_FORMAT_CHECK:-1}" == 1 ]]; then
  echo "== Formatting (clang-format)"
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
fi

if [[ "${TESSALY_QUICK:-0}" != 1 ]]; then
  echo "== Core libraries under AddressSanitizer and UndefinedBehaviorSanitizer"
  BUILD_DIR=build-sanitize BUILD_TYPE=RelWithDebInfo ./scripts/build.sh \
    -DTESSALY_CORE_ONLY=ON -DTESSALY_SANITIZE=ON -DTESSALY_ASSERTIONS=ON -DTESSALY_WERROR="$werror" \
    >build-sanitize.log 2>&1 \
    || { tail -n 50 build-sanitize.log; exit 1; }
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure --timeout 600 -j "$jobs"

  echo "== Fuzz targets, ${FUZZ_SECONDS:-30} s each"
  tests/fuzz/run.sh "${FUZZ_SECONDS:-30}"

  echo "== The portable core cross-compiled for Windows (mingw-w64), its splitter tests under wine64"
  BUILD_DIR=build-windows ./scripts/build.sh -DTESSALY_PORTABLE_CORE=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64 >build-windows.log 2>&1 \
    || { tail -n 50 build-windows.log; exit 1; }
  WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all \
    ctest --test-dir build-windows --output-on-failure --timeout 600
fi

echo "== The program and its tests"
./scripts/build.sh -DBUILD_TESTING=ON -DTESSALY_ASSERTIONS=ON -DTESSALY_WERROR="$werror"
ctest --test-dir build --output-on-failure --timeout 1800 -j "$jobs"

echo "== The package as a packager checks it"
desktop-file-validate app/tessaly.desktop
appstreamcli validate --no-net packaging/org.tessaly.Tessaly.metainfo.xml
# The test build as it stands, so that nothing is compiled again; its binaries are what lintian reads.
deb=$(BUILD_DIR=build ./scripts/package.sh -DBUILD_TESTING=ON -DTESSALY_ASSERTIONS=ON -DTESSALY_WERROR="$werror")
# Errors fail the check; warnings and notes are listed with their explanations.
lintian --fail-on error --info "$deb"
