#pragma once
// Small pieces every core benchmark needs: the calling thread's own CPU time
// (so other programs on a shared machine do not count) and a cheap integer hash
// for drawing repeatable test sheets.
#include <cstdint>
#include <ctime>

inline double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline uint32_t MixHash(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7FEB352Du;
    v ^= v >> 15;
    v *= 0x846CA68Bu;
    return v ^ (v >> 16);
}
