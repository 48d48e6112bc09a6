#!/bin/bash
# Builds both programs and packs them with the README into
# build/host/package/NrvDriverCleanup-<version>.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for preset in win-x64 win-x86; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
cmake --preset host >/dev/null
cpack --preset release
