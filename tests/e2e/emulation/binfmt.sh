#!/bin/bash
# binfmt.sh on|off|name BUILD_DIR: registers (on) or removes (off) the i386
# binfmt handler of the x86 end-to-end tests for one build tree, or prints its
# name. "on" exits 77 with the reason when the machine cannot run them (not
# root, no binfmt_misc, no qemu-i386-static or 32-bit Wine); "off" removes
# only this tree's handler and leaves no trace of it.
#
# A kernel that runs i386 programs itself needs no handler, and a handler
# would take them away from it for every other process: "on" then registers
# none and the x86 tests run 32-bit Wine directly. NRV_X86_QEMU=1 makes it
# register the handler anyway, to try the emulation on such a machine.
set -euo pipefail
action=$1 build=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)
name=nrv-i386-$(printf '%s' "$build" | md5sum | cut -c1-8)
binfmt=/proc/sys/fs/binfmt_misc
state=$build/x86-emulation
wine32=/usr/lib/wine/wine
qemu=/usr/bin/qemu-i386-static

unavailable() {
    mkdir -p "$state"
    echo "$*" >"$state/unavailable"
    echo "x86 emulation unavailable: $*"
    exit 77
}

remove() {
    if [[ -e $binfmt/$name ]]; then echo -1 >"$binfmt/$name"; fi
    # binfmt_misc mounted by "on" is unmounted once nothing is registered.
    if [[ -f $state/mounted ]] && mountpoint -q "$binfmt" &&
        [[ -z $(ls "$binfmt" | grep -vx -e register -e status) ]]; then
        umount "$binfmt" && rm -f "$state/mounted"
    fi
}

case $action in
name) echo "$name" ;;
on)
    rm -f "$state/unavailable" "$state/native"
    [[ -x $wine32 ]] || unavailable "$wine32 missing (scripts/setup.sh --x86-emulation installs wine32:i386)"
    mkdir -p "$state"
    if [[ ${NRV_X86_QEMU-} != 1 ]] &&
        (unset NRV_X86_EMULATION; timeout 60 "$wine32" --version) >/dev/null 2>&1; then
        touch "$state/native"
        echo "the kernel runs i386 programs itself: no handler registered"
        exit 0
    fi
    [[ $(id -u) -eq 0 ]] || unavailable "registering a binfmt handler needs root"
    [[ -x $qemu ]] || unavailable "$qemu missing (scripts/setup.sh --x86-emulation installs it)"
    if ! mountpoint -q "$binfmt"; then
        mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
            unavailable "binfmt_misc is not mounted and cannot be mounted"
        touch "$state/mounted"
    fi
    remove_on_failure() { remove; }
    trap remove_on_failure ERR
    [[ -e $binfmt/$name ]] && echo -1 >"$binfmt/$name"
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":$name:M::$magic:$mask:$here/i386-gate.sh:" >"$binfmt/register" 2>/dev/null ||
        unavailable "writing $binfmt/register failed"
    trap - ERR
    # The handler works, and only behind the gate.
    version=$(NRV_X86_EMULATION=1 timeout 60 "$wine32" --version 2>&1) ||
        { remove; echo "32-bit Wine does not start under qemu: $version"; exit 1; }
    if (unset NRV_X86_EMULATION; timeout 60 "$wine32" --version >/dev/null 2>&1); then
        remove; echo "the handler ran a 32-bit program without the gate"; exit 1
    fi
    echo "registered $binfmt/$name ($version under qemu-i386)"
    ;;
off)
    [[ -d $binfmt ]] && remove
    if [[ -e $binfmt/$name ]]; then echo "could not remove $binfmt/$name"; exit 1; fi
    echo "removed $name"
    ;;
*) echo "usage: $0 on|off|name BUILD_DIR" >&2; exit 2 ;;
esac
