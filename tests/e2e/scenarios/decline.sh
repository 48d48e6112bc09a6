#!/bin/bash
# arch: x64 x86
# Any answer but y/Y, or no answer at all, ends the run and leaves nothing.
source "$NRV_E2E_DIR/lib.sh"

answers=('n\n' 'x\n' '' '\n\n   \nN\n' 'no\n')
for i in "${!answers[@]}"; do
    dir=$E2E_WORK/run$i
    e2e_run "${answers[$i]}" "$dir"
    e2e_expect_eq "answer '${answers[$i]}': exit code" "$E2E_RC" 0
    e2e_expect_bytes "answer '${answers[$i]}': console" "$E2E_CONSOLE" "$E2E_BANNER$E2E_DIALOGUE"
    e2e_expect_eq "answer '${answers[$i]}': files left" "$(e2e_files "$dir")" ""
done
e2e_finish
