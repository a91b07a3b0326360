#!/usr/bin/env bash
# Installs the Debian packages needed to build and run the project; with --test also those the tests, benchmarks
# and fuzzing need. Does nothing when all are present, so it runs as any user then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev libqt6opengl6-dev libgl-dev
  nlohmann-json3-dev libicu-dev libqrencode-dev libtomlplusplus-dev libxcb1-dev
  fonts-noto-color-emoji
  dpkg-dev file
)
test_packages=(
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  xvfb xauth dbus xdotool tmux xterm openbox
  chromium
  fonts-dejavu-core
  desktop-file-utils appstream
)

case "${1:-}" in
  "") ;;
  --test) packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root (or: sudo $0 ${1:-})" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
