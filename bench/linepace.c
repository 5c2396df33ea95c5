// A serial line between two pseudo-terminals, paced at a baud rate in both directions: what
// one side writes reaches the other side one character time (10 bits) a byte later, and no
// sooner than the bytes before it have gone, as on a real line at that rate.
//
//   drel-bench-linepace BAUD
//
// Prints "near=PATH far=PATH" once both terminals are ready; programs open those paths as
// their serial ports (the near side for the sender, the far side for the receiver). The relay
// keeps both terminals open itself, so each may be opened and closed again any number of times.
// Each line "stats" on stdin prints what the line carried since the last one and starts afresh
// (discarding what is still on the line and in both terminals' queues):
//
//   stats near_bytes=N far_bytes=N first_near_s=T last_far_s=T acks=N naks=N cs=N cans=N
//         turnaround_us_p50=X turnaround_us_p99=X turnaround_us_mean=X
//         far_turnaround_us_p50=X far_turnaround_us_mean=X late_us_max=X late_us_mean=X
//
// near_bytes / far_bytes: bytes carried from the near side and from the far side; first_near_s:
// when the near side's first byte went onto the line; last_far_s: when the far side's last byte
// arrived at the near side (seconds on the monotonic clock); acks, naks, cs, cans: how many ACK,
// NAK, 'C' and CAN bytes the far side sent; turnaround: from the moment a byte from the far
// side arrived at the near side to the near side's next byte on the line, whenever the near
// side had been quiet (far_turnaround: the same for the far side); late: how long after its due
// time each byte was delivered (the relay's own error). End of stdin ends the relay. Exits 0 then,
// 1 when a terminal fails and 2 on bad usage, with one line on stderr.

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum { kQueueSize = 4096, kMaxSamples = 1 << 20 };
enum { kNearToFar = 0, kFarToNear = 1 };

static int64_t now_ns(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

// One direction of the line: the bytes read from `from` wait in a ring with the time each is
// due at `to`.
struct direction {
    int from;
    int to;
    unsigned char bytes[kQueueSize];
    int64_t due[kQueueSize];
    size_t head;        // index of the oldest byte
    size_t count;       // bytes on the line
    int64_t wire_free;  // when the line has sent every byte it holds
    uint64_t carried;
    int64_t first_read;  // 0 until the first byte of this session
    int64_t last_delivered;
    int64_t late_max;
    double late_sum;
    bool blocked;  // the last delivery found `to` full: wait until it takes bytes again
};

// How quickly one side answers: from a byte's arrival there to that side's next byte on the
// line, whenever the side had been quiet.
struct turnarounds {
    int64_t last_arrival;  // 0 while the side has answered every arrival
    double* samples_us;
    size_t count;
    double sum_us;
};

// What the far side answered, and both sides' turnarounds (indexed by the direction the
// answer takes), since the last "stats".
struct session {
    uint64_t acks, naks, cs, cans;
    struct turnarounds turns[2];
};

static struct direction g_line[2];
static struct session g_session;
static int64_t g_char_ns;

static void count_answer(unsigned char byte) {
    g_session.acks += byte == 0x06;
    g_session.naks += byte == 0x15;
    g_session.cs += byte == 'C';
    g_session.cans += byte == 0x18;
}

// Reads what `line->from` holds into the line's free room; each byte is due one character time
// after the line has sent the ones before it. Returns false when the terminal failed.
static bool take_in(struct direction* line, int index) {
    unsigned char buffer[kQueueSize];
    const size_t room = kQueueSize - line->count;
    const ssize_t got = read(line->from, buffer, room);
    if (got < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    const int64_t now = now_ns();
    struct turnarounds* turns = &g_session.turns[index];
    if (turns->last_arrival != 0 && turns->count < kMaxSamples) {
        const double sample = (double)(now - turns->last_arrival) / 1e3;
        turns->samples_us[turns->count++] = sample;
        turns->sum_us += sample;
    }
    turns->last_arrival = 0;
    if (line->first_read == 0 && got > 0) {
        line->first_read = now;
    }
    if (line->wire_free < now) {
        line->wire_free = now;
    }
    for (ssize_t i = 0; i < got; ++i) {
        const size_t slot = (line->head + line->count) % kQueueSize;
        line->wire_free += g_char_ns;
        line->bytes[slot] = buffer[i];
        line->due[slot] = line->wire_free;
        ++line->count;
    }
    return true;
}

// Delivers the bytes that are due. Returns false when the terminal failed.
static bool deliver(struct direction* line, int index) {
    const int64_t now = now_ns();
    unsigned char buffer[kQueueSize];
    size_t ready = 0;
    while (ready < line->count && line->due[(line->head + ready) % kQueueSize] <= now) {
        buffer[ready] = line->bytes[(line->head + ready) % kQueueSize];
        ++ready;
    }
    if (ready == 0) {
        return true;
    }
    const ssize_t put = write(line->to, buffer, ready);
    line->blocked = put < 0 && errno == EAGAIN;
    if (put < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    for (ssize_t i = 0; i < put; ++i) {
        const int64_t late = now - line->due[line->head];
        line->late_sum += (double)late;
        if (late > line->late_max) {
            line->late_max = late;
        }
        if (index == kFarToNear) {
            count_answer(buffer[i]);
        }
        line->head = (line->head + 1) % kQueueSize;
        --line->count;
    }
    line->carried += (uint64_t)put;
    line->last_delivered = now;
    if (put > 0) {
        g_session.turns[1 - index].last_arrival = now;
    }
    return true;
}

// Nanoseconds until the next byte on either line is due; -1 when both lines are empty.
static int64_t next_due_in(void) {
    int64_t next = -1;
    for (int i = 0; i < 2; ++i) {
        if (g_line[i].count > 0 && !g_line[i].blocked &&
            (next < 0 || g_line[i].due[g_line[i].head] < next)) {
            next = g_line[i].due[g_line[i].head];
        }
    }
    if (next < 0) {
        return -1;
    }
    const int64_t left = next - now_ns();
    return left > 0 ? left : 0;
}

static int compare_doubles(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

static double percentile(const struct turnarounds* turns, double fraction) {
    double* samples = turns->samples_us;
    const size_t count = turns->count;
    if (count == 0) {
        return 0;
    }
    qsort(samples, count, sizeof *samples, compare_doubles);
    size_t rank = (size_t)(fraction * (double)(count - 1) + 0.5);
    return samples[rank];
}

// Prints the session's figures, then empties both lines and both terminals' queues.
static double mean(const struct turnarounds* turns) {
    return turns->count ? turns->sum_us / (double)turns->count : 0.0;
}

static void report_and_reset(int near_slave, int far_slave) {
    const struct direction* out = &g_line[kNearToFar];
    const struct direction* back = &g_line[kFarToNear];
    const uint64_t delivered = out->carried + back->carried;
    const double late_sum = out->late_sum + back->late_sum;
    const int64_t late_max = out->late_max > back->late_max ? out->late_max : back->late_max;
    printf(
        "stats near_bytes=%llu far_bytes=%llu first_near_s=%.6f last_far_s=%.6f acks=%llu "
        "naks=%llu cs=%llu cans=%llu turnaround_us_p50=%.1f turnaround_us_p99=%.1f "
        "turnaround_us_mean=%.1f far_turnaround_us_p50=%.1f far_turnaround_us_mean=%.1f "
        "late_us_max=%.1f late_us_mean=%.1f\n",
        (unsigned long long)out->carried, (unsigned long long)back->carried,
        (double)out->first_read / 1e9, (double)back->last_delivered / 1e9,
        (unsigned long long)g_session.acks, (unsigned long long)g_session.naks,
        (unsigned long long)g_session.cs, (unsigned long long)g_session.cans,
        percentile(&g_session.turns[kNearToFar], 0.5),
        percentile(&g_session.turns[kNearToFar], 0.99), mean(&g_session.turns[kNearToFar]),
        percentile(&g_session.turns[kFarToNear], 0.5), mean(&g_session.turns[kFarToNear]),
        (double)late_max / 1e3, delivered ? late_sum / (double)delivered / 1e3 : 0.0);
    fflush(stdout);
    for (int i = 0; i < 2; ++i) {
        const int from = g_line[i].from, to = g_line[i].to;
        memset(&g_line[i], 0, sizeof g_line[i]);
        g_line[i].from = from;
        g_line[i].to = to;
    }
    double* samples[2] = {g_session.turns[0].samples_us, g_session.turns[1].samples_us};
    memset(&g_session, 0, sizeof g_session);
    g_session.turns[0].samples_us = samples[0];
    g_session.turns[1].samples_us = samples[1];
    tcflush(near_slave, TCIOFLUSH);
    tcflush(far_slave, TCIOFLUSH);
}

// Opens a pseudo-terminal (master non-blocking) and its raw slave; prints nothing.
static bool open_end(int* master, int* slave, char* path, size_t path_size) {
    *master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (*master < 0 || grantpt(*master) != 0 || unlockpt(*master) != 0 ||
        ptsname_r(*master, path, path_size) != 0) {
        return false;
    }
    *slave = open(path, O_RDWR | O_NOCTTY);
    struct termios settings;
    if (*slave < 0 || tcgetattr(*slave, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    return tcsetattr(*slave, TCSANOW, &settings) == 0;
}

// Handles one line of stdin; returns false at its end.
static bool obey(int near_slave, int far_slave) {
    char command[64];
    if (fgets(command, sizeof command, stdin) == NULL) {
        return false;
    }
    if (strncmp(command, "stats", 5) == 0) {
        report_and_reset(near_slave, far_slave);
    }
    return true;
}

// Waits for input or the next due byte; returns false when a terminal failed.
static bool relay_once(int near_slave, int far_slave, bool* running) {
    struct pollfd waits[3] = {{g_line[0].from, 0, 0}, {g_line[1].from, 0, 0}, {0, POLLIN, 0}};
    for (int i = 0; i < 2; ++i) {
        waits[i].events = g_line[i].count < kQueueSize ? POLLIN : 0;
        // Each master is one line's source and the other line's destination.
        waits[1 - i].events |= g_line[i].blocked ? POLLOUT : 0;
    }
    const int64_t wait_ns = next_due_in();
    struct timespec timeout = {wait_ns / 1000000000, wait_ns % 1000000000};
    if (ppoll(waits, 3, wait_ns < 0 ? NULL : &timeout, NULL) < 0 && errno != EINTR) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        if ((waits[i].revents & POLLIN) && !take_in(&g_line[i], i)) {
            return false;
        }
        if (!deliver(&g_line[i], i)) {
            return false;
        }
    }
    if (waits[2].revents & (POLLIN | POLLHUP)) {
        *running = obey(near_slave, far_slave);
    }
    return true;
}

int main(int argc, char** argv) {
    char* end = NULL;
    const long baud = argc == 2 ? strtol(argv[1], &end, 10) : 0;
    if (argc != 2 || *end != '\0' || baud < 50 || baud > 100000000) {
        fputs("usage: drel-bench-linepace BAUD   (50 to 100000000)\n", stderr);
        return 2;
    }
    g_char_ns = 10 * 1000000000LL / baud;
    for (int i = 0; i < 2; ++i) {
        g_session.turns[i].samples_us = malloc(kMaxSamples * sizeof(double));
    }
    char near_path[128], far_path[128];
    int near_master, near_slave, far_master, far_slave;
    if (g_session.turns[0].samples_us == NULL || g_session.turns[1].samples_us == NULL ||
        !open_end(&near_master, &near_slave, near_path, sizeof near_path) ||
        !open_end(&far_master, &far_slave, far_path, sizeof far_path)) {
        fprintf(stderr, "drel-bench-linepace: cannot make the terminals: %s\n", strerror(errno));
        return 1;
    }
    g_line[kNearToFar].from = near_master;
    g_line[kNearToFar].to = far_master;
    g_line[kFarToNear].from = far_master;
    g_line[kFarToNear].to = near_master;
    printf("near=%s far=%s\n", near_path, far_path);
    fflush(stdout);
    bool running = true;
    while (running) {
        if (!relay_once(near_slave, far_slave, &running)) {
            fprintf(stderr, "drel-bench-linepace: the line failed: %s\n", strerror(errno));
            return 1;
        }
    }
    return 0;
}
