#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and runs every test:
#   1. the whole program and its tests (Release);
#   2. the core libraries and their tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. each libFuzzer target for FUZZ_SECONDS (default 30).
# TESSALY_QUICK=1 runs step 1 only.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
if [[ $(id -u) -eq 0 ]]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1 # Chromium refuses its sandbox as root
fi
jobs=$(nproc)

if [[ "${TESSALY_QUICK:-0}" != 1 ]]; then
  echo "== Core libraries under AddressSanitizer and UndefinedBehaviorSanitizer"
  BUILD_DIR=build-sanitize BUILD_TYPE=RelWithDebInfo ./scripts/build.sh \
    -DTESSALY_CORE_ONLY=ON -DTESSALY_SANITIZE=ON >build-sanitize.log 2>&1 \
    || { tail -n 50 build-sanitize.log; exit 1; }
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure --timeout 600 -j "$jobs"

  echo "== Fuzz targets, ${FUZZ_SECONDS:-30} s each"
  tests/fuzz/run.sh "${FUZZ_SECONDS:-30}"
fi

echo "== The program and its tests"
./scripts/build.sh
ctest --test-dir build --output-on-failure --timeout 1800 -j "$jobs"
