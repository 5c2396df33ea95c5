// The smallest sensible host of the boot monitor's image download, with no window: the
// reference that drel's own downloads are measured against. For each image it sends the load
// command, serves the monitor's requests (0x01: the image header, 0x02: the next record) and
// prints the monitor's result line.
//
// usage: drel-bench-minihost PORT_PATH IMAGE...
// Exits 0 when every load ends "load ok", 1 when one does not, and 2 on bad usage or an I/O
// failure, a device silent for 10 s included, with one line on stderr.

#define _DEFAULT_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

enum { kSilenceMs = 10000, kSignatureSize = 7, kImageHeaderSize = 8, kRecordHeaderSize = 12 };
enum { kHeaderRequest = 0x01, kRecordRequest = 0x02 };

struct image {
    const char* path;
    unsigned char* bytes;
    size_t size;
};

// The port, with what was read from it and not taken yet, and the device's recent text.
struct device {
    const char* path;
    int fd;
    unsigned char in[4096];
    size_t in_len, in_pos;
    char text[4096];
    size_t text_len;
};

static _Noreturn void die(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fputs("drel-bench-minihost: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    exit(2);
}

static void read_image(struct image* image) {
    const int fd = open(image->path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        die("cannot read %s: %s", image->path, strerror(errno));
    }
    image->size = (size_t)info.st_size;
    image->bytes = malloc(image->size ? image->size : 1);
    size_t got = 0;
    while (image->bytes && got < image->size) {
        const ssize_t count = read(fd, image->bytes + got, image->size - got);
        if (count <= 0) {
            die("cannot read %s: %s", image->path, count == 0 ? "file shrank" : strerror(errno));
        }
        got += (size_t)count;
    }
    if (!image->bytes) {
        die("no memory for %s", image->path);
    }
    close(fd);
}

// Raw 8N1 without flow control; the speed only matters on a real serial line.
static void open_port(struct device* device) {
    device->fd = open(device->path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct termios settings;
    if (device->fd < 0 || tcgetattr(device->fd, &settings) != 0) {
        die("cannot open %s: %s", device->path, strerror(errno));
    }
    cfmakeraw(&settings);
    cfsetspeed(&settings, B115200);
    if (tcsetattr(device->fd, TCSANOW, &settings) != 0 || tcflush(device->fd, TCIOFLUSH) != 0) {
        die("cannot set up %s: %s", device->path, strerror(errno));
    }
}

// The next byte from the device, waiting at most 10 s for it; `awaited` names it for the
// message when it does not come.
static unsigned char next_byte(struct device* device, const char* awaited) {
    while (device->in_pos == device->in_len) {
        struct pollfd wait = {device->fd, POLLIN, 0};
        const int ready = poll(&wait, 1, kSilenceMs);
        if (ready == 0) {
            die("%s sent nothing for 10 s while waiting for %s", device->path, awaited);
        }
        const ssize_t count = ready < 0 ? -1 : read(device->fd, device->in, sizeof device->in);
        if (count > 0) {
            device->in_len = (size_t)count;
            device->in_pos = 0;
        } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            die("reading %s failed: %s", device->path,
                count == 0 ? "the device hung up" : strerror(errno));
        }
    }
    return device->in[device->in_pos++];
}

// Writes everything; a device that takes nothing for 10 s is an error.
static void send_bytes(struct device* device, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t count = write(device->fd, bytes, size);
        if (count > 0) {
            bytes += count;
            size -= (size_t)count;
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            die("writing %s failed: %s", device->path, strerror(errno));
        }
        struct pollfd wait = {device->fd, POLLOUT, 0};
        const int ready = poll(&wait, 1, kSilenceMs);
        if (ready == 0) {
            die("%s took nothing for 10 s", device->path);
        }
        if (ready < 0 && errno != EINTR) {
            die("waiting to write to %s failed: %s", device->path, strerror(errno));
        }
    }
}

// Sends the bytes of the image from `offset` on, at most `size` of them: a broken image that
// ends early is sent as far as it goes, and the device reports what is missing.
static void send_part(struct device* device, const struct image* image, size_t offset,
                      size_t size) {
    if (offset < image->size) {
        send_bytes(device, image->bytes + offset,
                   size < image->size - offset ? size : image->size - offset);
    }
}

static uint32_t le32(const unsigned char* bytes) {
    return bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

// Sends the record at *offset, header and data in one write, and moves *offset past it.
// Returns 1 when that was the end record (address 0). An image without more records sends
// nothing: the device then gives up after its idle time-out and says so.
static int send_record(struct device* device, const struct image* image, size_t* offset) {
    if (*offset + kRecordHeaderSize > image->size) {
        return 0;
    }
    const unsigned char* header = image->bytes + *offset;
    const size_t size = kRecordHeaderSize + (size_t)le32(header + 4);
    send_part(device, image, *offset, size);
    *offset += size;
    return le32(header) == 0;
}

static void keep_text(struct device* device, unsigned char byte) {
    if (device->text_len == sizeof device->text) {
        // Only the last lines matter: drop the older half.
        const size_t half = sizeof device->text / 2;
        memmove(device->text, device->text + half, half);
        device->text_len = half;
    }
    device->text[device->text_len++] = (char)byte;
}

static int text_ends_with(const struct device* device, const char* end) {
    const size_t size = strlen(end);
    return device->text_len >= size &&
           memcmp(device->text + device->text_len - size, end, size) == 0;
}

// Whether the text ends with a line starting "load " followed by the prompt; that line's
// place in the text, without its CR LF, is then in *start and *size.
static int load_ended(const struct device* device, size_t* start, size_t* size) {
    if (!text_ends_with(device, "\r\nFW>")) {
        return 0;
    }
    const size_t end = device->text_len - 5;
    size_t begin = end;
    while (begin > 0 && device->text[begin - 1] != '\n') {
        --begin;
    }
    *start = begin;
    *size = end - begin;
    return *size >= 5 && memcmp(device->text + begin, "load ", 5) == 0;
}

// Loads one image and prints the device's result line. Returns 1 when it reads "load ok".
static int load(struct device* device, const struct image* image) {
    const size_t path_size = strlen(image->path);
    unsigned char* command = malloc(path_size + 3);
    if (!command) {
        die("no memory");
    }
    memcpy(command, "l ", 2);
    memcpy(command + 2, image->path, path_size);
    command[path_size + 2] = '\r';
    send_bytes(device, command, path_size + 3);
    free(command);

    device->text_len = 0;
    while (!text_ends_with(device, "start download\r\n")) {
        keep_text(device, next_byte(device, "\"start download\""));
    }
    device->text_len = 0;
    send_part(device, image, 0, kSignatureSize);
    size_t offset = kSignatureSize + kImageHeaderSize;
    int end_sent = 0;
    size_t start, size;
    while (!load_ended(device, &start, &size)) {
        const unsigned char byte = next_byte(device, end_sent ? "the result line" : "a request");
        if (!end_sent && byte == kHeaderRequest) {
            send_part(device, image, kSignatureSize, kImageHeaderSize);
        } else if (!end_sent && byte == kRecordRequest) {
            end_sent = send_record(device, image, &offset);
        } else {
            keep_text(device, byte);
        }
    }
    printf("%.*s\n", (int)size, device->text + start);
    fflush(stdout);
    return strncmp(device->text + start, "load ok", 7) == 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fputs("usage: drel-bench-minihost PORT_PATH IMAGE...\n", stderr);
        return 2;
    }
    const int count = argc - 2;
    struct image* images = calloc((size_t)count, sizeof *images);
    struct device* device = calloc(1, sizeof *device);
    if (!images || !device) {
        die("no memory");
    }
    for (int i = 0; i < count; ++i) {
        images[i].path = argv[i + 2];
        read_image(&images[i]);
    }
    device->path = argv[1];
    open_port(device);
    int all_ok = 1;
    for (int i = 0; i < count; ++i) {
        all_ok &= load(device, &images[i]);
    }
    close(device->fd);
    for (int i = 0; i < count; ++i) {
        free(images[i].bytes);
    }
    free(images);
    free(device);
    return all_ok ? 0 : 1;
}
