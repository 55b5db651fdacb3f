#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the player need.
# Quiet and idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpng-dev
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev
  # MIDI music: the General MIDI sound font the player looks for by itself
  timgm6mb-soundfont
  libfontconfig-dev fonts-ipafont-gothic
  xvfb xauth clang
  # the window tests and measurements: X input, Xlib, the measuring script
  xdotool libx11-dev python3
  # the installation test checks the desktop entry and the package type with these
  desktop-file-utils shared-mime-info
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
  else
    echo "install-deps: missing packages (run as root to install): ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { $SUDO apt-get update -qq && \
       $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps: could not install: ${missing[*]}" >&2
  exit 1
fi
