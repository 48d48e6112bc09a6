#!/bin/bash
# Builds the three presets and runs every test: host unit tests over the fake
# platform, static checks of both programs, end-to-end scenarios under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Without 32-bit Wine the x86 scenarios skip themselves, saying why, and
# the summary below repeats it: a mirror that cannot serve it now does not
# fail every other test.
scripts/setup.sh --x86-emulation || echo "32-bit Wine could not be installed: the x86 scenarios will be skipped"
scripts/fetch-wine-dlls.sh build/wine-dlls

for preset in win-x64 win-x86 fuzz host; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
# The x86 scenarios register an i386 binfmt handler for their duration; it
# goes whatever happens to ctest.
trap 'bash tests/e2e/emulation/binfmt.sh off build/host >/dev/null' EXIT
status=0
ctest --preset host || status=$?
if [[ -f build/host/x86-emulation/unavailable ]]; then
    echo "x86 scenarios SKIPPED: $(cat build/host/x86-emulation/unavailable)"
elif [[ -f build/host/x86-emulation/native ]]; then
    echo "x86 scenarios ran 32-bit Wine without qemu: this kernel runs i386 programs itself"
fi
# Every test that skipped itself, with its reason (tests/check.sh, skip).
awk '/^[0-9]+\/[0-9]+ Testing: / {name = $3} /^SKIPPED: / {print "skipped: " name ": " substr($0, 10)}' \
    build/host/Testing/Temporary/LastTest.log 2>/dev/null || true
exit $status
