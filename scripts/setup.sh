#!/usr/bin/env bash
# Installs everything Vantrel needs to build, run and test on Debian 12.
# Idempotent: packages already present are left as they are. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  clang libclang-rt-14-dev libfuzzer-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  libboost-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg mediainfo mediaconch
  libavcodec-dev libavutil-dev libswscale-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  libxxhash-dev libssl-dev libxml2-utils
  xvfb xauth imagemagick x11-utils
  lintian desktop-file-utils help2man man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
