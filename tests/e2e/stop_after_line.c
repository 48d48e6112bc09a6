/* Preloaded into the Wine process that runs the program in the interrupted
 * scenario: once a write ends with the line NRV_STOP_AFTER (and CR LF), the
 * process stops itself (SIGSTOP) before it makes another call, and the
 * scenario kills it there. Watching the output from outside would kill it
 * some calls later, by chance inside an uninstall, which Wine's installer
 * does not roll back. Without NRV_STOP_AFTER every write passes untouched.
 *
 * Built without any C library headers, as emulation/mmap_noreplace.c is:
 * dlsym, getenv, kill and getpid come from the process's own libc. */
typedef __SIZE_TYPE__ size_t;
typedef __PTRDIFF_TYPE__ ssize_t;
typedef ssize_t (*write_fn)(int, const void*, size_t);

#define RTLD_NEXT ((void*)-1l)
#define SIGSTOP 19

void* dlsym(void* handle, const char* name);
char* getenv(const char* name);
int kill(int pid, int signal);
int getpid(void);

static int ends_with_line(const char* data, size_t length, const char* line) {
    size_t n = 0;
    while (line[n] != '\0') ++n;
    if (length < n + 2 || data[length - 2] != '\r' || data[length - 1] != '\n') return 0;
    for (size_t i = 0; i < n; ++i)
        if (data[length - 2 - n + i] != line[i]) return 0;
    return 1;
}

ssize_t write(int fd, const void* data, size_t length) {
    static write_fn real;
    static const char* line;
    if (!real) {
        real = (write_fn)dlsym(RTLD_NEXT, "write");
        line = getenv("NRV_STOP_AFTER");
    }
    const ssize_t written = real(fd, data, length);
    if (line != 0 && line[0] != '\0' && written == (ssize_t)length && ends_with_line(data, length, line))
        kill(getpid(), SIGSTOP);
    return written;
}
