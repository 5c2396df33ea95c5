// The pseudo-terminal's own limits, with no program of ours on either side: what drel's
// numbers are compared against.
//
//   roundtrip N   one byte there and back, N times after 100 warm-up ones. The master side
//                 plays the simulated board (non-blocking, packet mode, write the request,
//                 poll, read the answer); a thread plays the host on the raw slave (blocking
//                 read of one byte, write it back). Prints the round-trip times.
//   copy BYTES    a thread writes BYTES bytes to the master in 4096-byte writes while the raw
//                 slave is read in reads of up to 64 KiB. Prints the throughput, timed from
//                 the first write to the last byte read.
//
// Exits 0 after printing the measurement, 1 when the measurement fails and 2 on bad usage,
// with one line on stderr. No side waits for more than 10 s.

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum { kDeadlineMs = 10000, kWarmUps = 100, kWriteSize = 4096, kReadSize = 64 * 1024 };

// Why the measurement failed; only the main thread sets it.
static char g_problem[256];

// Notes the first fault the main thread finds. Returns false.
static bool fail(const char* format, ...) {
    if (g_problem[0] == '\0') {
        va_list args;
        va_start(args, format);
        vsnprintf(g_problem, sizeof g_problem, format, args);
        va_end(args);
    }
    return false;
}

static double seconds_between(const struct timespec* start, const struct timespec* end) {
    return (double)(end->tv_sec - start->tv_sec) + (double)(end->tv_nsec - start->tv_nsec) * 1e-9;
}

static void close_fd(int* fd) {
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

static bool make_pty(int master_flags, int* master, int* slave) {
    *master = posix_openpt(O_RDWR | O_NOCTTY | master_flags);
    char path[128];
    if (*master < 0 || grantpt(*master) != 0 || unlockpt(*master) != 0 ||
        ptsname_r(*master, path, sizeof path) != 0) {
        return fail("cannot create a pseudo-terminal: %s", strerror(errno));
    }
    *slave = open(path, O_RDWR | O_NOCTTY);
    struct termios settings;
    if (*slave < 0 || tcgetattr(*slave, &settings) != 0) {
        return fail("cannot open %s: %s", path, strerror(errno));
    }
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = kDeadlineMs / 100;
    if (tcsetattr(*slave, TCSANOW, &settings) != 0) {
        return fail("cannot make %s raw: %s", path, strerror(errno));
    }
    return true;
}

// Makes a pseudo-terminal pair with a raw slave; on failure both ends are closed. The slave's
// reads end after 10 s without a byte (VMIN 0, VTIME 100), so a reader never waits forever
// and pays no extra poll() for it.
static bool open_pty(int master_flags, int* master, int* slave) {
    *master = -1;
    *slave = -1;
    if (make_pty(master_flags, master, slave)) {
        return true;
    }
    close_fd(slave);
    close_fd(master);
    return false;
}

static bool parse_count(const char* text, unsigned long long* count) {
    char* end;
    errno = 0;
    *count = strtoull(text, &end, 10);
    return text[0] >= '0' && text[0] <= '9' && *end == '\0' && errno == 0 && *count > 0;
}

// The thread at the other end of the line. On a failure it closes its end, which wakes the
// main thread's wait at once; `failed` tells the main thread that the fault began there.
// `fd` and `error` are read only after the thread is joined.
struct peer {
    int fd;
    atomic_bool failed;
    int error;  // errno of the failure; ETIMEDOUT for 10 s of silence
};

static void* peer_failed(struct peer* peer, int error) {
    peer->error = error;
    atomic_store(&peer->failed, true);
    close_fd(&peer->fd);
    return NULL;
}

// After a fault in the main thread: closes the main thread's end, which ends the peer's wait,
// and joins the peer. When the fault began with the peer, the peer's error replaces the
// main thread's message, which only tells what followed from it.
static void stop_peer(struct peer* peer, pthread_t thread, int* own_fd, const char* peer_name) {
    const bool peer_first = atomic_load(&peer->failed);
    close_fd(own_fd);
    pthread_join(thread, NULL);
    if (peer_first) {
        g_problem[0] = '\0';
        fail("the %s failed: %s", peer_name, strerror(peer->error));
    }
}

// The host of the round trip: answers each byte on the slave with the same byte.
struct echo_host {
    struct peer peer;
    unsigned long long count;
};

static void* echo(void* argument) {
    struct echo_host* host = argument;
    for (unsigned long long i = 0; i < host->count; ++i) {
        unsigned char byte;
        const ssize_t count = read(host->peer.fd, &byte, 1);
        if (count != 1) {
            return peer_failed(&host->peer, count == 0 ? ETIMEDOUT : errno);
        }
        if (write(host->peer.fd, &byte, 1) != 1) {
            return peer_failed(&host->peer, errno);
        }
    }
    return NULL;
}

// One request from the board side and its answer, as the simulated board exchanges them.
static bool round_trip(int master, double* micros) {
    const unsigned char request = 0x02;
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (write(master, &request, 1) != 1) {
        return fail("writing the master failed: %s", strerror(errno));
    }
    struct pollfd wait = {master, POLLIN, 0};
    const int ready = poll(&wait, 1, kDeadlineMs);
    if (ready == 0) {
        return fail("no answer within 10 s");
    }
    if (ready < 0) {
        return fail("waiting for the answer failed: %s", strerror(errno));
    }
    // Packet mode: a status byte (0 for data) comes before the data.
    unsigned char answer[2];
    const ssize_t count = read(master, answer, sizeof answer);
    if (count < 0) {
        return fail("reading the master failed: %s", strerror(errno));
    }
    if (count != 2 || answer[0] != TIOCPKT_DATA || answer[1] != request) {
        return fail("unexpected answer of %zd bytes", count);
    }
    struct timespec end;
    clock_gettime(CLOCK_MONOTONIC, &end);
    *micros = seconds_between(&start, &end) * 1e6;
    return true;
}

static int compare_doubles(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

// The nearest-rank percentile of sorted values.
static double percentile(const double* sorted, unsigned long long count, double fraction) {
    unsigned long long rank = (unsigned long long)ceil(fraction * (double)count);
    return sorted[rank > 0 ? rank - 1 : 0];
}

static bool measure_round_trips(int master, unsigned long long count, double* micros) {
    double ignored;
    for (int i = 0; i < kWarmUps; ++i) {
        if (!round_trip(master, &ignored)) {
            return false;
        }
    }
    for (unsigned long long i = 0; i < count; ++i) {
        if (!round_trip(master, &micros[i])) {
            return false;
        }
    }
    return true;
}

// Runs the round trips against a host thread, which takes over the slave.
static bool time_round_trips(int* master, int* slave, unsigned long long count, double* micros) {
    struct echo_host host = {{*slave, false, 0}, kWarmUps + count};
    pthread_t thread;
    if (pthread_create(&thread, NULL, echo, &host) != 0) {
        return fail("cannot start the host thread");
    }
    *slave = -1;
    if (!measure_round_trips(*master, count, micros)) {
        stop_peer(&host.peer, thread, master, "host");
        return false;
    }
    pthread_join(thread, NULL);
    *slave = host.peer.fd;
    return true;
}

static int run_round_trips(unsigned long long count) {
    int master, slave;
    if (!open_pty(O_NONBLOCK, &master, &slave)) {
        return 1;
    }
    double* micros = count <= SIZE_MAX / sizeof *micros ? malloc(count * sizeof *micros) : NULL;
    bool ok = micros != NULL || fail("no memory for %llu times", count);
    // Packet mode is set after the slave's settings, whose change it would otherwise report.
    int on = 1;
    if (ok && ioctl(master, TIOCPKT, &on) != 0) {
        ok = fail("cannot set packet mode: %s", strerror(errno));
    }
    ok = ok && time_round_trips(&master, &slave, count, micros);
    close_fd(&master);
    close_fd(&slave);
    if (ok) {
        qsort(micros, count, sizeof *micros, compare_doubles);
        printf("roundtrip_us p50=%.1f p99=%.1f max=%.1f n=%llu\n", percentile(micros, count, 0.5),
               percentile(micros, count, 0.99), micros[count - 1], count);
    }
    free(micros);
    return ok ? 0 : 1;
}

// The writer of the copy, on the master. `start` is read only after the thread is joined.
struct writer {
    struct peer peer;
    unsigned long long bytes;
    struct timespec start;
};

static void* write_bytes(void* argument) {
    struct writer* writer = argument;
    static unsigned char block[kWriteSize];
    memset(block, 0x55, sizeof block);
    clock_gettime(CLOCK_MONOTONIC, &writer->start);
    for (unsigned long long left = writer->bytes; left > 0;) {
        const ssize_t count = write(writer->peer.fd, block, left < kWriteSize ? left : kWriteSize);
        if (count <= 0) {
            return peer_failed(&writer->peer, count == 0 ? EIO : errno);
        }
        left -= (unsigned long long)count;
    }
    return NULL;
}

static bool read_bytes(int slave, unsigned long long bytes) {
    static unsigned char buffer[kReadSize];
    for (unsigned long long got = 0; got < bytes;) {
        const ssize_t count = read(slave, buffer, sizeof buffer);
        if (count == 0) {
            return fail("nothing arrived for 10 s after %llu bytes", got);
        }
        if (count < 0) {
            return fail("reading the slave failed after %llu bytes: %s", got, strerror(errno));
        }
        got += (unsigned long long)count;
    }
    return true;
}

// Copies through the pair, the writer thread taking over the master, and sets *seconds.
static bool time_copy(int* master, int* slave, unsigned long long bytes, double* seconds) {
    struct writer writer = {{*master, false, 0}, bytes, {0, 0}};
    pthread_t thread;
    if (pthread_create(&thread, NULL, write_bytes, &writer) != 0) {
        return fail("cannot start the writer thread");
    }
    *master = -1;
    if (!read_bytes(*slave, bytes)) {
        stop_peer(&writer.peer, thread, slave, "writer");
        return false;
    }
    struct timespec end;
    clock_gettime(CLOCK_MONOTONIC, &end);
    pthread_join(thread, NULL);
    *master = writer.peer.fd;
    *seconds = seconds_between(&writer.start, &end);
    return true;
}

static int run_copy(unsigned long long bytes) {
    int master, slave;
    if (!open_pty(0, &master, &slave)) {
        return 1;
    }
    double seconds = 0;
    const bool ok = time_copy(&master, &slave, bytes, &seconds);
    close_fd(&slave);
    close_fd(&master);
    if (ok) {
        printf("copy_bytes_per_s=%.0f bytes=%llu seconds=%.6f\n", (double)bytes / seconds, bytes,
               seconds);
    }
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    unsigned long long count = 0;
    const bool counted = argc == 3 && parse_count(argv[2], &count);
    int status;
    if (counted && strcmp(argv[1], "roundtrip") == 0) {
        status = run_round_trips(count);
    } else if (counted && strcmp(argv[1], "copy") == 0) {
        status = run_copy(count);
    } else {
        fputs("usage: drel-bench-pty roundtrip N | copy BYTES   (N, BYTES > 0)\n", stderr);
        return 2;
    }
    if (status != 0) {
        fprintf(stderr, "drel-bench-pty: %s\n", g_problem);
    }
    return status;
}
