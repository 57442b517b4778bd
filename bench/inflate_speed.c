// inflate_speed.c -- how fast the stub's inflater runs under Wine, built with given flags.
// Inflates one zlib stream ROUNDS times through a 256 KiB buffer, as the stub does, and prints the
// bytes made and the process's user CPU time. Usage: inflate_speed.exe STREAM ROUNDS
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include "zlib.h"

static voidpf allocate(voidpf opaque, uInt items, uInt size) { (void)opaque; return malloc(items * size); }
static void release(voidpf opaque, voidpf block) { (void)opaque; free(block); }

static unsigned char* readAll(const char* path, long* size) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    *size = ftell(f);
    fseek(f, 0, SEEK_SET);
    unsigned char* bytes = malloc(*size);
    if (bytes && fread(bytes, 1, *size, f) != (size_t)*size) { free(bytes); bytes = NULL; }
    fclose(f);
    return bytes;
}

int main(int argc, char** argv) {
    if (argc != 3) { fprintf(stderr, "usage: inflate_speed STREAM ROUNDS\n"); return 2; }
    long size;
    unsigned char* input = readAll(argv[1], &size);
    if (!input) { fprintf(stderr, "cannot read %s\n", argv[1]); return 2; }
    static unsigned char output[0x40000];
    unsigned long long total = 0;
    for (int round = atoi(argv[2]); round > 0; --round) {
        z_stream stream = {0};
        stream.zalloc = allocate;
        stream.zfree = release;
        if (inflateInit(&stream) != Z_OK) return 1;
        stream.next_in = input;
        stream.avail_in = (uInt)size;
        int result;
        do {
            stream.next_out = output;
            stream.avail_out = sizeof output;
            result = inflate(&stream, Z_NO_FLUSH);
            total += sizeof output - stream.avail_out;
        } while (result == Z_OK);
        inflateEnd(&stream);
        if (result != Z_STREAM_END) { fprintf(stderr, "damaged stream\n"); return 1; }
    }
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    double seconds = (((unsigned long long)user.dwHighDateTime << 32) | user.dwLowDateTime) / 1e7;
    printf("%llu bytes, user %.2f s, %.1f MB/s\n", total, seconds, total / 1e6 / seconds);
    return 0;
}
