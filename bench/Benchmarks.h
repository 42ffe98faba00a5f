#pragma once
// The foundation's benchmarks; each prints its figures.

#include <vector>

void benchLog();
void benchDispatcher();
void benchXmlReader();

// Median and 99th percentile of samples in microseconds (sorts them).
struct Percentiles {
    double median;
    double p99;
};
Percentiles percentiles(std::vector<double>& samplesUs);

// A monotonic clock in microseconds.
double nowUs();
