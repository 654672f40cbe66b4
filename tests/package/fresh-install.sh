#!/usr/bin/env bash
# Installs the Debian package as a user would, with apt, on a fresh Debian 12 machine, and checks
# that it works there: tessaly-cli converts a small mailbox into PDFs that hold their text, and
# the window starts offscreen and stays up until it is told to exit.
#   usage: sudo tests/package/fresh-install.sh [DEB]     (default: build-package/tessaly_*.deb)
# The machine is a root made with debootstrap (minbase plus ca-certificates, as a base image has),
# kept in /var/tmp/tessaly-fresh-base and copied afresh for each run, so no run sees another's
# packages. Making the base takes a few minutes, once; each run then installs the package's
# dependencies (Qt WebEngine and the fonts, a few hundred MB). The log is /var/tmp/fresh-install.log.
# Not part of test.sh: it needs root and a root file system.
set -euo pipefail
deb=${1:-}
[[ -n "$deb" ]] || deb=$(find "$(dirname "$0")/../../build-package" -maxdepth 1 -name 'tessaly_*.deb' 2>/dev/null | sort | tail -n 1)
[[ -n "$deb" && -f "$deb" ]] || { echo "fresh-install: no package; make one with scripts/package.sh" >&2; exit 2; }
deb=$(realpath "$deb")
[[ $(id -u) -eq 0 ]] || { echo "fresh-install: run as root (debootstrap and chroot need it)" >&2; exit 2; }
command -v pdftotext >/dev/null || { echo "fresh-install: pdftotext is missing (scripts/install-deps.sh --test)" >&2; exit 2; }

base=/var/tmp/tessaly-fresh-base
root=/var/tmp/tessaly-fresh-install
log=/var/tmp/fresh-install.log
: >"$log"

command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >>"$log" 2>&1
if [[ ! -x "$base/bin/bash" ]]; then
  echo "fresh-install: making a Debian 12 root in $base (once)"
  # The host's own Debian mirror (a missing sources.list is no error).
  mirror=$({ grep -rhE '^URIs:.*debian/?$|^deb .*debian/? bookworm ' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null || true; } \
           | grep -o 'http[^ ]*' | head -n 1)
  rm -rf "$base.partial"
  debootstrap --variant=minbase bookworm "$base.partial" "$mirror" >>"$log" 2>&1
  chroot "$base.partial" apt-get install -y -qq ca-certificates >>"$log" 2>&1
  mv "$base.partial" "$base"
fi

rm -rf "$root"
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mounts=(proc sys dev dev/pts dev/shm)
for d in "${mounts[@]}"; do mountpoint -q "$root/$d" || mount --bind "/$d" "$root/$d"; done
unmount() { for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "$root/${mounts[i]}" 2>/dev/null || true; done; }
trap unmount EXIT
cp "$deb" "$root/tmp/"

# A plain text message and an HTML one, each with words to find in its PDF.
cat >"$root/tmp/fresh.mbox" <<'MBOX'
From ann@example.org Mon Dec  7 10:00:00 2026
From: Ann <ann@example.org>
To: Bob <bob@example.org>
Subject: Plain greeting
Date: Mon, 07 Dec 2026 10:00:00 +0000
Message-ID: <plain@example.org>
Content-Type: text/plain; charset=utf-8

Plainly written wordfromplaintext, with an umlaut: Grüße.

From bob@example.org Mon Dec  7 11:00:00 2026
From: Bob <bob@example.org>
To: Ann <ann@example.org>
Subject: HTML greeting
Date: Mon, 07 Dec 2026 11:00:00 +0000
Message-ID: <html@example.org>
MIME-Version: 1.0
Content-Type: text/html; charset=utf-8

<html><body><h1>Heading</h1><p>Drawn by the browser engine: <b>wordfromhtml</b>.</p></body></html>
MBOX

SECONDS=0
step() { echo "fresh-install: $*"; echo "== $*" >>"$log"; }
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@" >>"$log" 2>&1; }
fail() { tail -n 20 "$log" >&2; echo "fresh-install: FAILED: $* (log $log)" >&2; exit 1; }

step "apt-get install ./$(basename "$deb")"
in_root apt-get update -q || fail "apt-get update"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")" || fail "the package does not install"

step "tessaly-cli --version and converting two messages"
in_root tessaly-cli --version || fail "tessaly-cli --version"
in_root env QT_QPA_PLATFORM=offscreen tessaly-cli --output /tmp/out /tmp/fresh.mbox || fail "tessaly-cli did not convert the mailbox"
mapfile -t pdfs < <(find "$root/tmp/out" -name '*.pdf' | sort)
((${#pdfs[@]} == 2)) || fail "expected 2 PDFs, found ${#pdfs[@]}"
text=$(for pdf in "${pdfs[@]}"; do pdftotext "$pdf" -; done)
for word in wordfromplaintext Grüße wordfromhtml "Plain greeting" "HTML greeting"; do
  grep -qF "$word" <<<"$text" || fail "the PDFs lack '$word'"
done

step "the window starting offscreen"
in_root tessaly --version || fail "tessaly --version"
# The window runs until it is closed: it must still be up when told to stop, and stop then
# (timeout's 124; a window that had to be killed gives 137, one that failed to start its own).
in_root env QT_QPA_PLATFORM=offscreen timeout -s TERM -k 10 20 tessaly && rc=0 || rc=$?
((rc == 124)) || fail "the window ended with status $rc instead of running until told to exit"

echo "fresh-install: passed: $(basename "$deb") installed on a fresh Debian 12 root, 2 messages converted with their text, the window started and exited (${SECONDS}s)"
