# Sourced by lib.sh and make_template.sh when NRV_E2E_ARCH=x86: the 32-bit
# program, run by Debian's 32-bit Wine under qemu-i386, through the binfmt
# handler that the e2e_x86_emulation_on test registers (binfmt.sh), or
# directly where the kernel runs i386 programs itself. Skips the script
# (tests/check.sh, "require i386") when this machine can do neither.
: "${NRV_EXE32:?}" "${NRV_WINE32:?}" "${NRV_X86_STATE:?}"

require i386
for so in i386-linux-gnu x86_64-linux-gnu; do
    [[ -f $NRV_X86_STATE/lib/$so/nrv_mmap.so ]] || { echo "missing $NRV_X86_STATE/lib/$so/nrv_mmap.so (build the host preset)"; exit 1; }
done

# The handler runs i386 programs for processes with this variable only. The
# preloaded library fixes qemu's fixed mappings (mmap_noreplace.c); ld.so
# expands $LIB, so 64-bit processes load its empty 64-bit build.
export NRV_X86_EMULATION=1 LD_PRELOAD="$NRV_X86_STATE/\$LIB/nrv_mmap.so"
# qemu reports each crashed 32-bit service; no core files.
ulimit -c 0

E2E_EXE=$NRV_EXE32
E2E_WINE=$NRV_WINE32
# qemu shares one descriptor table among a process's threads, so 32-bit Wine
# processes with a second thread crash or hang: a crash must not start the
# debugger (it would hang "wineserver -w"). On 32-bit Windows every service
# is such a process, so under qemu the service manager stays off once the
# prefix is made (E2E_NO_SERVICES): with it, runs took 3 to 100 s, the
# prefix's processes often did not end, and device nodes were removed or not
# by chance. The program needs no service but for removing a device node
# (plug-and-play). On 64-bit Windows the services are 64-bit and run.
E2E_DLL_OVERRIDES=";winedbg.exe=d"
E2E_NO_SERVICES=
if [[ ! -f $NRV_X86_STATE/native ]] && grep -qs '^#arch=win32' "$NRV_TEMPLATE_PREFIX/system.reg"; then
    E2E_DLL_OVERRIDES+=";services.exe=d"
    E2E_NO_SERVICES=1
fi

# x86_end_leftovers PREFIX: kills what is left of the prefix's processes.
# A 32-bit Wine process that hung under qemu can outlive "wineserver -k" once
# its server is gone. The processes are found by their WINEPREFIX (a
# scenario's own folder), with builtins only, so nothing this runs matches.
x86_end_leftovers() {
    local environ pid entry
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        [[ $pid == "$$" || $pid == "$BASHPID" ]] && continue
        while IFS= read -r -d '' entry; do
            if [[ $entry == "WINEPREFIX=$1" ]]; then
                kill -9 "$pid" 2>/dev/null || true
                break
            fi
        done 2>/dev/null <"$environ" || true
    done
}
