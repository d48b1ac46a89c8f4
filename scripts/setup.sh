#!/usr/bin/env bash
# Installs the Debian packages that Clipwatch needs and that are missing. Idempotent.
set -euo pipefail

packages=(
    build-essential cmake pkg-config libgtest-dev libgmock-dev
    qtbase5-dev libqt5sql5-mysql libsqlite3-dev sqlite3 libcurl4-openssl-dev libcpp-httplib-dev
    ffmpeg mariadb-server iputils-ping xvfb xauth chromium
)

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: every package is installed"
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
