#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# skipping those already installed. Needs root (or sudo).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config ccache clang libclang-rt-14-dev
    qt6-base-dev qt6-svg-dev libqt6sql6-sqlite libqt6svg6 qt6-qpa-plugins
    libcurl4-openssl-dev libzip-dev zlib1g-dev libisal-dev libsqlite3-dev libidn2-dev
    fonts-liberation fonts-droid-fallback fonts-symbola
    python3-aiosmtpd poppler-utils unzip sqlite3 time openssl
    dpkg-dev file lintian desktop-file-utils man-db
    postgresql-15 libpq-dev libqt6sql6-psql
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

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
