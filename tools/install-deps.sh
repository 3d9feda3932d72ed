#!/usr/bin/env bash
# Installs the Debian packages Lumatrim needs, by what they are needed for; needs root (or sudo)
# only when something is missing.
#   install-deps.sh run       building and starting both programs (tools/run.sh)
#   install-deps.sh package   making and checking the Debian package (tools/package.sh)
#   install-deps.sh test      all of the above, and every test, benchmark and fuzzer (the default)
set -euo pipefail

# The Qt platform plugins are named although Qt's libraries recommend them: without them the
# window can't start, and a system that skips recommended packages would not have them.
# xvfb-run starts the window where there is no display.
run=(
  cmake g++ make pkg-config
  zlib1g-dev libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-qpa-plugins
  xvfb xauth
)
package=(dpkg-dev file appstream lintian groff-base)
test=(
  "${run[@]}" "${package[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  libgif-dev gifsicle hyperfine time bc
  python3-pil imagemagick ffmpeg chromium apache2-data
  clang libclang-rt-14-dev
  parallel python3
)

[ $# -gt 0 ] || set -- test
packages=()
for group in "$@"; do
  case "$group" in
    run) packages+=("${run[@]}") ;;
    package) packages+=("${package[@]}") ;;
    test) packages+=("${test[@]}") ;;
    *) echo "usage: install-deps.sh [run|package|test]..." >&2; exit 2 ;;
  esac
done

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
