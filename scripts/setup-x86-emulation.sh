#!/bin/bash
# Installs what running the 32-bit program under emulation needs: Debian's
# 32-bit Wine (wine32:i386, so the i386 architecture) and qemu's user-mode
# emulator. Separate from setup.sh: only the tests need it. Runs apt-get as
# root, or through sudo; waits for another apt-get that holds the lock.
set -euo pipefail

packages=(qemu-user-static wine32:i386)
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
lock=(-o DPkg::Lock::Timeout=600)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get "${lock[@]}" update -qq
$sudo apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
