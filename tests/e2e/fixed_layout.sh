# Sourced first by every script that runs Wine (the scenarios through lib.sh,
# make_template.sh, scripts/demo.sh and bench-wine.sh): runs the script again with address space
# randomization off (setarch -R), for it and every process it starts.
#
# Debian's wine64 has no preloader and is linked at 0x7d000000. For a 64-bit
# program the kernel starts the heap (brk) anywhere in the gigabyte above
# the program, so now and then a Wine process's heap already holds
# 0x7ffe0000, where Wine must map the shared user data: the process dies as
# it starts, with "wine: failed to map the shared user data: c0000018" (an
# err line that WINEDEBUG=-all hides). A step of a scenario then failed at
# random: a fixture that planted nothing and said nothing, a registry export
# that read as a deleted key, a scenario ended a second after its start.
# Without randomization the heap starts right after the loader.
if [[ -z ${NRV_FIXED_LAYOUT-} ]] && setarch "$(uname -m)" -R true 2>/dev/null; then
    NRV_FIXED_LAYOUT=1 exec setarch "$(uname -m)" -R "$BASH" "$0" "$@"
fi
