#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
if [[ $(id -u) -eq 0 ]]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1 # Chromium refuses its sandbox as root
fi
ctest --test-dir build --output-on-failure --timeout 600 -j "$(nproc)"
