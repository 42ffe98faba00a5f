// Prints the foundation's figures: log caller cost, dispatcher latency, XML reader throughput.

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "bench/Benchmarks.h"

Percentiles percentiles(std::vector<double>& samplesUs) {
    std::sort(samplesUs.begin(), samplesUs.end());
    if (samplesUs.empty()) return {0, 0};
    return {samplesUs[samplesUs.size() / 2], samplesUs[samplesUs.size() * 99 / 100]};
}

double nowUs() {
    static const double ticksPerUs = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerUs;
}

int main() {
    benchLog();
    benchDispatcher();
    benchXmlReader();
    return 0;
}
