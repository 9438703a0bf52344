#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the console need.
# Idempotent: packages already present are left alone, and apt is only touched when
# something is missing. Runs apt-get as root, or through sudo otherwise.
set -euo pipefail

packages=(
    # toolchain
    g++ cmake ninja-build pkg-config clang-format lld
    # fuzzing: clang with libFuzzer and the sanitizer runtimes
    clang libclang-rt-14-dev
    # libraries
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # translations: lupdate and lrelease for CMake's Qt LinguistTools
    qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools
    # Qt's own dialogs and buttons in Chinese
    qt6-translations-l10n
    libqcustomplot-dev libqcustomplot2.1-qt6
    libyaml-cpp-dev
    googletest libgtest-dev
    # Chinese user texts must render on a fresh machine
    fonts-noto-cjk
    # bus tests: network namespaces and veth pairs, and the EtherCAT dissector
    iproute2 tshark
    # looking at the real window
    xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# tshark asks whether non-root users may capture; answer no without a prompt.
echo "wireshark-common wireshark-common/install-setuid boolean false" |
    "${as_root[@]}" debconf-set-selections 2>/dev/null || true
"${as_root[@]}" apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
