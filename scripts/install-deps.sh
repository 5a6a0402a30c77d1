#!/usr/bin/env bash
# Installs every Debian package the project builds, tests and runs with.
# Idempotent and quick when everything is present: apt-get runs only for what is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-svg-dev qt6-charts-dev qt6-multimedia-dev
    libc-ares-dev libgmime-3.0-dev libicu-dev
    dnsmasq-base dovecot-pop3d openssl python3
    xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
