#!/usr/bin/env bash
# Installs the Debian packages Lumatrim needs to build, run and test. Needs root (or sudo).
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  zlib1g-dev libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgif-dev gifsicle hyperfine time bc
  clang libclang-rt-14-dev
  qt6-base-dev xvfb xauth
  parallel python3 dpkg-dev file appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
