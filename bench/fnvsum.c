// The count and 64-bit FNV-1a hash of a file, to prove a log holds what a board sent: the
// scripts cannot hash gigabytes in Python. Also the count and hash of the file with its NUL
// bytes left out, which is what a terminal view is handed (it drops NULs before showing).
//
//   drel-bench-fnvsum FILE
//   prints "bytes B fnv1a64 H without_nul_bytes B2 without_nul_fnv1a64 H2"
//
// Exits 0 after printing, 1 when the file cannot be read and 2 on bad usage, with one line on
// stderr.

#include <errno.h>
#include <inttypes.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define FNV_OFFSET_BASIS 14695981039346656037ULL
#define FNV_PRIME 1099511628211ULL

static unsigned char buffer[1 << 20];

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: drel-bench-fnvsum FILE\n");
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    if (file == NULL) {
        fprintf(stderr, "drel-bench-fnvsum: %s: %s\n", argv[1], strerror(errno));
        return 1;
    }
    uint64_t bytes = 0, hash = FNV_OFFSET_BASIS;
    uint64_t shownBytes = 0, shownHash = FNV_OFFSET_BASIS;
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            hash = (hash ^ buffer[i]) * FNV_PRIME;
            if (buffer[i] != 0) {
                shownHash = (shownHash ^ buffer[i]) * FNV_PRIME;
                ++shownBytes;
            }
        }
        bytes += got;
    }
    const int failed = ferror(file);
    fclose(file);
    if (failed) {
        fprintf(stderr, "drel-bench-fnvsum: %s: read failed\n", argv[1]);
        return 1;
    }
    printf("bytes %" PRIu64 " fnv1a64 %016" PRIx64 " without_nul_bytes %" PRIu64
           " without_nul_fnv1a64 %016" PRIx64 "\n",
           bytes, hash, shownBytes, shownHash);
    return 0;
}
