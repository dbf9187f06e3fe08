#pragma once
// Resident memory as the kernel reports it, for the memory goals.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace BenchMemory {

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"), -1 when missing.
inline long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t len = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, len, field) == 0) return std::strtol(line.c_str() + len + 1, nullptr, 10);
    return -1;
}

// Starts the peak (VmHWM) afresh from the present resident size.
inline void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

} // namespace BenchMemory
