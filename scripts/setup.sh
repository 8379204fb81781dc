#!/usr/bin/env bash
# Installs what building and testing Zentra needs on Debian 12, when it is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libqt6svg6 libgl-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
          tzdata xvfb xauth poppler-utils dpkg-dev file fonts-dejavu-core
          libmosquitto-dev mosquitto libcpp-httplib-dev nlohmann-json3-dev prometheus chromium
          libtomlplusplus-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
