#!/bin/bash
# Builds both programs and packs a release:
#   scripts/package.sh [--no-build] [FOLDER]        (FOLDER: build/package)
# FOLDER/NrvDriverCleanup-<version>.zip holds both programs, README.md, RUN-LOG.md, CHANGES.md,
# RELEASING.md, the deployment kit (deploy/) and SHA256SUMS, the checksums of
# every other file in it; FOLDER/NrvDriverCleanup-<version>-symbols.zip the programs'
# debug files. With --no-build it packs the programs already built.
#
# Signing (Authenticode, SHA-256): NRV_SIGN_PFX names a PKCS#12 file with the
# certificate and its key, NRV_SIGN_PASSWORD_FILE a file holding its password
# (read by osslsigncode itself: it is never on a command line). An optional
# NRV_SIGN_TIMESTAMP_URL names an RFC 3161 time-stamp server. Without the two
# the release is unsigned. Unsigned, the same sources give the same zip bytes.
set -euo pipefail
export LC_ALL=C   # file name order in SHA256SUMS and in the zips
build=1
if [[ ${1:-} == --no-build ]]; then build=0; shift; fi
# Paths given relative to the working directory, before moving to the sources.
out=$(realpath -m "${1:-$(dirname "$0")/../build/package}")
pfx=${NRV_SIGN_PFX:+$(realpath -m "$NRV_SIGN_PFX")}
password_file=${NRV_SIGN_PASSWORD_FILE:+$(realpath -m "$NRV_SIGN_PASSWORD_FILE")}
timestamp_url=${NRV_SIGN_TIMESTAMP_URL:-}
cd "$(dirname "$0")/.."
if [[ -n $pfx || -n $password_file ]]; then
    [[ -n $pfx && -n $password_file ]] \
        || { echo "package.sh: set both NRV_SIGN_PFX and NRV_SIGN_PASSWORD_FILE, or neither" >&2; exit 2; }
    for f in "$pfx" "$password_file"; do
        [[ -r $f ]] || { echo "package.sh: cannot read $f" >&2; exit 2; }
    done
fi

if ((build)); then
    scripts/setup.sh
    for preset in win-x64 win-x86; do
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset"
    done
fi

version=$(sed -n 's/^project(NrvDriverCleanup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=NrvDriverCleanup-$version
programs=(build/win-x64/NrvDriverCleanupx64.exe build/win-x86/NrvDriverCleanupx86.exe)
# Every file in the zips gets the time of the last commit (or
# SOURCE_DATE_EPOCH), not the time of the build.
mtime=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/release/$name" "$stage/symbols/$name-symbols" "$out"
for program in "${programs[@]}"; do
    target=$stage/release/$name/$(basename "$program")
    if [[ -n $pfx ]]; then
        timestamp=()
        [[ -n $timestamp_url ]] && timestamp=(-ts "$timestamp_url")
        osslsigncode sign -pkcs12 "$pfx" -readpass "$password_file" -h sha256 \
            -n "Nerovan Driver Cleanup utility" "${timestamp[@]}" -in "$program" -out "$target" >/dev/null
        echo "signed $(basename "$program")"
    else
        cp "$program" "$target"
    fi
    cp "$program.debug" "$stage/symbols/$name-symbols/"
done
[[ -n $pfx ]] || echo "unsigned: NRV_SIGN_PFX and NRV_SIGN_PASSWORD_FILE are not set"
cp -r README.md RUN-LOG.md RELEASING.md CHANGES.md deploy "$stage/release/$name/"
# Every file, by its path in the folder (deploy/install.cmd), in name order.
(cd "$stage/release/$name" && find . -type f -printf '%P\n' | sort | xargs -d '\n' sha256sum -- >"$stage/SHA256SUMS" &&
    mv "$stage/SHA256SUMS" .)

# zip without extra fields (no owner, no access time) or folder entries, the
# files in name order, fixed modes and times.
pack() {
    local folder=$1 zip=$2
    find "$folder" -type d -exec chmod 755 {} +
    find "$folder" -type f -exec chmod 644 {} +
    find "$folder" -exec touch -d "@$mtime" {} +
    rm -f "$zip"
    (cd "$(dirname "$folder")" && find "$(basename "$folder")" -type f | sort | TZ=UTC zip -X -D -q "$zip" -@)
    echo "$zip"
}
pack "$stage/release/$name" "$out/$name.zip"
pack "$stage/symbols/$name-symbols" "$out/$name-symbols.zip"
