/* Preloaded into the 32-bit Wine processes that run under qemu-i386.
 *
 * qemu 7.2 treats MAP_FIXED_NOREPLACE as a hint: a mapping whose address is
 * taken lands somewhere else instead of failing. Wine reserves the 32-bit
 * address space by trying fixed addresses and expects EEXIST for a taken one;
 * given a mapping elsewhere it unmaps it and tries again a page further on,
 * tens of thousands of times per process start. This wrapper fails such a
 * mapping with EEXIST, as the kernel does.
 *
 * Built without any C library headers (nothing of i386 is needed to build
 * it); dlsym and errno come from the process's own libc when it is loaded.
 * For the 64-bit side the same source gives an empty library, so that one
 * LD_PRELOAD value (with ld.so's $LIB) serves both kinds of process. */
#if defined(__i386__)

typedef unsigned int size_t;
typedef long off_t;
typedef long long off64_t;

#define MAP_FIXED 0x10
#define MAP_FIXED_NOREPLACE 0x100000
#define MAP_FAILED ((void*)-1)
#define EEXIST 17
#define RTLD_NEXT ((void*)-1l)

void* dlsym(void* handle, const char* name);
int* __errno_location(void);
int munmap(void* address, size_t length);

typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);
typedef void* (*mmap64_fn)(void*, size_t, int, int, int, off64_t);

static void* checked(void* wanted, void* got, size_t length, int flags) {
    if (got == MAP_FAILED || got == wanted) return got;
    if ((flags & MAP_FIXED_NOREPLACE) == 0 || (flags & MAP_FIXED) != 0) return got;
    munmap(got, length);
    *__errno_location() = EEXIST;
    return MAP_FAILED;
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
    static mmap_fn real;
    if (!real) real = (mmap_fn)dlsym(RTLD_NEXT, "mmap");
    return checked(address, real(address, length, protection, flags, fd, offset), length, flags);
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off64_t offset) {
    static mmap64_fn real;
    if (!real) real = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
    return checked(address, real(address, length, protection, flags, fd, offset), length, flags);
}

#endif
