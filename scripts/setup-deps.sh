#!/usr/bin/env bash
# Installs everything Korvessa needs to build, run and test, from Debian packages only.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-declarative-dev libqt6opengl6-dev qt6-tools-dev qt6-l10n-tools
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
  qml6-module-qtquick-window qml6-module-qtquick-layouts qml6-module-qtquick-dialogs
  qml6-module-qtqml qml6-module-qtqml-workerscript qml6-module-qtqml-models
  qml6-module-qt-labs-folderlistmodel qml6-module-qttest libqt6svg6
  libfftw3-dev libgl1-mesa-dev libgl1-mesa-dri libxcb1-dev xvfb xauth iproute2 nftables fonts-wqy-microhei
  locales
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # Passed through env: sudo resets the environment, and a package asking questions (tzdata)
  # would otherwise stop the set-up at a prompt.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The tests that write numbers also run under a German locale, which must exist.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
