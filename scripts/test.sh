#!/bin/bash
# Builds the three presets and runs every test: host unit tests over the fake
# platform, static checks of both programs, end-to-end scenarios under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/fetch-wine-dlls.sh build/wine-dlls

for preset in win-x64 win-x86 fuzz host; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
ctest --preset host
