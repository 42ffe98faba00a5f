// Caller cost of one log line: 100 000 lines from two threads, each call timed.

#include <windows.h>

#include <cstdio>
#include <thread>

#include "bench/Benchmarks.h"
#include "common/Log.h"
#include "common/LogPrint.h"
#include "common/LogWriter.h"

void benchLog() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"pelora-bench.log";
    ::DeleteFileW(path.c_str());
    common::createLogWriter(path);
    logWriter = &common::log;

    constexpr int kLinesPerThread = 50000;
    std::vector<double> samples[2];
    auto writeLines = [](std::vector<double>& out) {
        out.reserve(kLinesPerThread);
        for (int i = 0; i < kLinesPerThread; ++i) {
            const double begin = nowUs();
            logPrint("bench::log", __LINE__, L"download progress %d of %d bytes from %s", i, kLinesPerThread,
                     L"https://cdn.example/download/package/Pelora4.0.exe");
            out.push_back(nowUs() - begin);
        }
    };
    std::thread first(writeLines, std::ref(samples[0]));
    std::thread second(writeLines, std::ref(samples[1]));
    first.join();
    second.join();

    samples[0].insert(samples[0].end(), samples[1].begin(), samples[1].end());
    const Percentiles p = percentiles(samples[0]);
    std::printf("log line caller cost (2 threads, %zu lines): median %.2f us, p99 %.2f us (target: median <= 5 us)\n",
                samples[0].size(), p.median, p.p99);
}
