#!/usr/bin/env bash
# Builds and runs the converter benchmark on a fresh corpus, installing the two peers
# (wkhtmltopdf, chromium) if they are missing. Usage: bench/run_convert_bench.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

for peer in wkhtmltopdf chromium; do
  if ! command -v "$peer" >/dev/null; then
    sudo=""; [[ $(id -u) -ne 0 ]] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$peer"
  fi
done

cmake -S "$root" -B "$build" -G Ninja -DTESSALY_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target convert_bench
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# The workers run as an unprivileged user: the corpus must be readable to them.
chmod a+rx "$corpus"
python3 "$root/bench/generate_corpus.py" "$corpus/messages" --big "$corpus/big.eml"
QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
  "$build/bench/convert_bench" "$corpus/messages" "${PEER_MESSAGES:-20}" "$corpus/big.eml"
