#!/bin/bash
# Fetches Wine's PE DLLs, the stand-ins for Windows' own in the check that
# every function the programs import is exported by a system DLL:
#   scripts/fetch-wine-dlls.sh [FOLDER]      (default build/wine-dlls)
# Downloads Debian's libwine for amd64 and i386 into FOLDER (not installed;
# a .deb already there is used again) and unpacks from each the DLLs the
# programs import into FOLDER/x86_64-windows and FOLDER/i386-windows.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=$(realpath -m "${1:-build/wine-dlls}")
dlls=(msi.dll $(cat tests/e2e/expected_imports.txt))
sudo=
if [[ $(id -u) -ne 0 ]]; then sudo=sudo; fi
apt_lock=(-o DPkg::Lock::Timeout=600)
mkdir -p "$dest"

for arch_and_dir in amd64:x86_64-windows i386:i386-windows; do
    arch=${arch_and_dir%%:*} dir=${arch_and_dir#*:}
    missing=0
    for dll in "${dlls[@]}"; do [[ -f $dest/$dir/$dll ]] || missing=1; done
    ((missing)) || continue

    debs=("$dest"/libwine_*_"$arch".deb)
    if [[ ! -f ${debs[0]} ]]; then
        if [[ $arch == i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
            $sudo dpkg --add-architecture i386
        fi
        download() { (cd "$dest" && apt-get download -q "${apt_lock[@]}" -o APT::Sandbox::User=root "libwine:$arch"); }
        download || { $sudo apt-get "${apt_lock[@]}" update -qq && download; }
        debs=("$dest"/libwine_*_"$arch".deb)
    fi
    rm -rf "$dest/unpack" && mkdir -p "$dest/unpack" "$dest/$dir"
    dpkg-deb --fsys-tarfile "${debs[0]}" \
        | tar -x -C "$dest/unpack" --wildcards "${dlls[@]/#/*/$dir/}"
    find "$dest/unpack" -name '*.dll' -exec mv -t "$dest/$dir" {} +
    rm -rf "$dest/unpack"
done
