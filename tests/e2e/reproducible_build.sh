#!/bin/bash
# Builds a program again from a copy of the sources in another folder and
# checks it is byte for byte the program the preset built.
source "$(dirname "$0")/../check.sh"
source_dir=$1 toolchain=$2 built=$3
work=$(mktemp -d /tmp/nrv-repro-XXXXXX)
at_exit 'rm -rf "$work"'
mkdir -p "$work/elsewhere/src"
cp -a "$source_dir"/{CMakeLists.txt,cmake,src,tests} "$work/elsewhere/src/"
rm -rf "$work/elsewhere/src/tests/e2e/fixtures"  # test programs are not needed here
cmake -S "$work/elsewhere/src" -B "$work/elsewhere/build" --toolchain "cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/elsewhere/build" -j2 --target nrv_cleanup >/dev/null
rebuilt=$work/elsewhere/build/$(basename "$built")
cmp "$built" "$rebuilt" && check_ok "$(basename "$built") is reproducible" ||
    check_fail "$(basename "$built") differs when built from another folder"
check_done
