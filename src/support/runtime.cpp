// runtime.cpp -- the memory functions the compiler and zlib call, since the stub links no C runtime.
#include <stddef.h>

extern "C" {
void* memset(void* destination, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    while (count--) *to++ = static_cast<unsigned char>(value);
    return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count--) *to++ = *from++;
    return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    if (to < from) {
        while (count--) *to++ = *from++;
    } else {
        while (count--) to[count] = from[count];
    }
    return destination;
}

int memcmp(const void* a, const void* b, size_t count) {
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (; count; --count, ++x, ++y)
        if (*x != *y) return *x - *y;
    return 0;
}
}

// Signed 64-bit division for code generated at link time. The MinGW linker crashes when
// link-time code generation first asks for these from libgcc, so the stub brings its own
// (built on the unsigned division, which links fine).
extern "C" {
static unsigned long long magnitude(long long value) {
    return value < 0 ? 0 - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
}

long long __divdi3(long long a, long long b) {
    unsigned long long quotient = magnitude(a) / magnitude(b);
    return (a < 0) != (b < 0) ? -static_cast<long long>(quotient) : static_cast<long long>(quotient);
}

long long __moddi3(long long a, long long b) {
    unsigned long long remainder = magnitude(a) % magnitude(b);
    return a < 0 ? -static_cast<long long>(remainder) : static_cast<long long>(remainder);
}
}

// Unsigned 64-bit division by shift and subtract: a fraction of libgcc's size, and no unwind
// tables come with it.
extern "C" {
static unsigned long long divideUnsigned(unsigned long long a, unsigned long long b, unsigned long long* rest) {
    unsigned long long quotient = 0, remainder = 0;
    for (int bit = 63; bit >= 0; --bit) {
        remainder = (remainder << 1) | ((a >> bit) & 1);
        if (remainder >= b) {
            remainder -= b;
            quotient |= 1ULL << bit;
        }
    }
    *rest = remainder;
    return quotient;
}

unsigned long long __udivdi3(unsigned long long a, unsigned long long b) {
    unsigned long long rest;
    return divideUnsigned(a, b, &rest);
}

unsigned long long __umoddi3(unsigned long long a, unsigned long long b) {
    unsigned long long rest;
    divideUnsigned(a, b, &rest);
    return rest;
}
}
