#!/usr/bin/env bash
# Installs what Tessaly needs on Debian 12, and only what is missing:
#   --run   what building and running the program need (run.sh);
#   --test  all of that, plus what the tests, the sanitizer, fuzz and Windows builds and the
#           packaging checks need (test.sh).
set -euo pipefail

usage="usage: scripts/install-deps.sh --run|--test"
(($# == 1)) || { echo "$usage" >&2; exit 2; }
case "$1" in
  --run) weight="run" ;;
  --test) weight="test" ;;
  *) echo "$usage" >&2; exit 2 ;;
esac

# One package a line, so that adding one is a one-line change.
run_packages=(
  # build tools
  build-essential
  cmake
  ninja-build
  pkg-config
  # libraries
  qt6-base-dev
  qt6-base-dev-tools
  qt6-webengine-dev
  qt6-webengine-dev-tools
  libqt6opengl6-dev
  libgl-dev
  libgmime-3.0-dev
  libqpdf-dev
  libgumbo-dev
  # OpenSSL's CMS functions read S/MIME
  libssl-dev
  # invitations: text/calendar parts
  libical-dev
  # the text engine
  libpango1.0-dev
  libcairo2-dev
  # fonts: a named face for every script (mailconverter/html/ScriptFonts.cpp), colour and monochrome
  # emoji, metric-compatible stand-ins for the mail fonts
  fontconfig
  fonts-noto-core
  fonts-noto-color-emoji
  fonts-symbola
  # Chinese, Japanese and Korean faces with TrueType outlines, which Chromium embeds as
  # outline fonts (the Noto CJK faces become dozens of Type 3 fonts)
  fonts-wqy-zenhei
  fonts-ipafont-gothic
  fonts-nanum
  fonts-liberation2
  fonts-crosextra-carlito
  fonts-crosextra-caladea
  # a UTF-8 locale for header decoding
  locales
)

test_packages=(
  git
  googletest
  libgtest-dev
  # the tests read the PDFs with pdftotext and pdfinfo, and check them with qpdf's command line
  poppler-utils
  qpdf
  python3
  # the command line makes the tests' throwaway S/MIME certificates
  openssl
  # strace shows the order of syncs and renames in the durability test
  strace
  # GNU parallel runs the shards of a run in the scale test
  parallel
  # libFuzzer and the sanitizer runtimes
  clang
  libclang-rt-dev
  # the formatting check, and the Windows cross-compiler for the portable core and wine to run
  # its splitter tests
  clang-format
  g++-mingw-w64-x86-64-posix
  wine64
  # the checks a packager runs: the desktop entry, the metainfo and the .deb
  desktop-file-utils
  appstream
  lintian
)

packages=("${run_packages[@]}")
[[ "$weight" == test ]] && packages+=("${test_packages[@]}")

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: everything is installed"
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
  sudo="sudo"
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
