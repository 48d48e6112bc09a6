#!/bin/sh
# Interpreter of the i386 binfmt handler that the x86 end-to-end tests
# register: it runs a 32-bit program under qemu only for processes of those
# tests (NRV_X86_EMULATION=1 in their environment). Any other 32-bit program
# started on the machine meanwhile fails at once, as it would without the
# handler.
if [ "${NRV_X86_EMULATION-}" != 1 ]; then
    echo "i386 program refused: the handler runs 32-bit programs for the x86 tests only" >&2
    exit 126
fi
exec /usr/bin/qemu-i386-static "$@"
