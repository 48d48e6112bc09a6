#!/bin/bash
# Installs the Debian packages the build, the tests and the demo need, if any
# is missing:
#   scripts/setup.sh                   the build, the tests and the demo
#   scripts/setup.sh --x86-emulation   what running the 32-bit program in the
#                                      tests needs: 32-bit Wine (so the i386
#                                      architecture) and qemu's user-mode emulator
# Runs apt-get as root, or through sudo; waits for another apt-get that holds
# the lock.
set -euo pipefail

packages=(cmake make g++ binutils googletest libgtest-dev mingw-w64 wine64 msitools wixl e2fsprogs clang libclang-rt-14-dev zip osslsigncode openssl)
[[ ${1:-} == --x86-emulation ]] && packages=(qemu-user-static wine32:i386)
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
if [[ ${missing[*]} == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
# An index the mirror serves half-synced ("Mirror sync in progress?") fails
# the update, yet the others are fresh: the install says whether they do.
$sudo apt-get "${lock[@]}" update -qq || echo "apt-get update failed for some index; installing from the others"
$sudo apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
