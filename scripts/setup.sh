#!/bin/bash
# Installs the Debian packages the build, the tests and the demo need, if any
# is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(cmake make g++ binutils googletest libgtest-dev mingw-w64 wine64 msitools wixl e2fsprogs clang libclang-rt-14-dev zip osslsigncode openssl)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
((${#missing[@]} == 0)) && exit 0

echo "installing: ${missing[*]}"
sudo=
if [[ $(id -u) -ne 0 ]]; then sudo=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
