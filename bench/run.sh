#!/usr/bin/env bash
# Generates the corpora and prints every benchmark figure in one run, with the peers measured
# on the same input: splitting (against Python's mailbox module), conversion (against
# wkhtmltopdf and chromium), attachment embedding, the folder scan and bundling message PDFs.
#
# Usage: bench/run.sh [--quick]
#   --quick  a smaller mailbox, corpus and tree (about a tenth), for a fast look
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

quick=0
[[ "${1:-}" == "--quick" ]] && quick=1
mailbox_mb=1000; peer_messages=20; scan_folders=500; bundle_messages=10000
if ((quick)); then mailbox_mb=100; peer_messages=6; scan_folders=100; bundle_messages=1000; fi

"$root/scripts/install-deps.sh" --test
"$root/scripts/build.sh" -DTESSALY_BUILD_BENCH=ON >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
started=$(date +%s)

echo "== Splitting a ${mailbox_mb} MB mailbox (LF line ends)"
python3 "$root/bench/generate_mailbox.py" "$work/mail.mbox" "$mailbox_mb"
"$build/bench/split_bench" "$work/mail.mbox"
rm -f "$work/mail.mbox"

echo
echo "== Converting messages to PDF"
PEER_MESSAGES=$peer_messages "$root/bench/run_convert_bench.sh" "$build"

echo
echo "== Embedding attachments"
"$build/bench/embed_bench"

echo
echo "== Scanning a folder tree"
"$build/bench/scan_bench" "$scan_folders" 100

echo
echo "== Bundling ${bundle_messages} message PDFs into one"
"$build/bench/bundle_bench" "$bundle_messages"

echo
echo "== Finished in $(($(date +%s) - started)) s"
