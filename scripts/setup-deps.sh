#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, when missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ ccache pkg-config qt6-base-dev qt6-svg-dev libgtest-dev libsystemd-dev
  clang-14 libclang-rt-14-dev
  # peers that check our images and discs
  xorriso genisoimage p7zip-full libarchive-tools cdrskin growisofs cdrdao
  sg3-utils libcdio-utils python3-pycdlib attr
  # the JSON Schema validator that checks every --json line
  python3-jsonschema
  # windows without a display, and their fonts
  xvfb xauth fonts-dejavu-core fonts-wqy-microhei
  # the install test: desktop entry, AppStream data, man pages, the package;
  # a private message bus for the logind and udisks2 stand-ins
  desktop-file-utils appstream man-db lintian dpkg-dev fakeroot dbus-daemon zsh
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -o DPkg::Lock::Timeout=600
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi
