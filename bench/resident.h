// The process's memory, for the benchmarks' counters (Linux).
#pragma once

#include <sys/resource.h>

#include <cstddef>
#include <fstream>

namespace zindra::bench {

// Resident memory now, in bytes.
inline double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0;
}

// The most that was ever resident, in bytes.
inline double peakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

}  // namespace zindra::bench
