#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh --run
./scripts/build.sh -DBUILD_TESTING=OFF
exec ./build/app/tessaly "$@"
