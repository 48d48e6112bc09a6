#!/bin/bash
# Builds a program again from a copy of the sources in another folder and
# checks it is byte for byte the program the preset built.
set -euo pipefail
source_dir=$1 toolchain=$2 built=$3
work=$(mktemp -d /tmp/nrv-repro-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/elsewhere/src"
cp -a "$source_dir"/{CMakeLists.txt,cmake,src,tests} "$work/elsewhere/src/"
rm -rf "$work/elsewhere/src/tests/e2e/fixtures"  # test programs are not needed here
cmake -S "$work/elsewhere/src" -B "$work/elsewhere/build" --toolchain "cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/elsewhere/build" -j2 --target nrv_cleanup >/dev/null
rebuilt=$work/elsewhere/build/$(basename "$built")
if cmp "$built" "$rebuilt"; then
    echo "ok: $(basename "$built") is reproducible"
else
    echo "FAIL: $(basename "$built") differs when built from another folder"
    exit 1
fi
