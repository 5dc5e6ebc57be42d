#!/bin/bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libsqlite3-dev libical-dev
          libgtest-dev dbus fonts-dejavu-core libxcb1-dev libenchant-2-dev hunspell-en-us)

# The spelling dictionary of the user's language too, when Debian has one.
lang=${LANG:-}; lang=${lang%%.*}; lang=${lang%%@*}; lang=${lang,,}; lang=${lang//_/-}
if [[ -n $lang && $lang != c && $lang != posix && $lang != en-us ]]; then
    for name in "hunspell-$lang" "hunspell-${lang%%-*}"; do
        if apt-cache show "$name" >/dev/null 2>&1; then
            packages+=("$name")
            break
        fi
    done
fi
# The install check runs the desktop's validator on the installed desktop entry.
packages+=(desktop-file-utils)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
