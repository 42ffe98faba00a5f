// Post-to-run latency of the window-thread dispatcher: a worker posts one task at a time and waits for
// it to run, 10 000 times, while the main thread pumps messages.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "bench/Benchmarks.h"
#include "utility/ScopedHandle.h"
#include "utility/UiDispatcher.h"

void benchDispatcher() {
    utility::UiDispatcher* dispatcher = utility::UiDispatcher::create();
    constexpr int kPosts = 10000;
    std::vector<double> samples;
    samples.reserve(kPosts);
    utility::UniqueHandle ran(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    std::atomic<bool> done{false};
    static const char owner = 0;

    std::thread worker([&] {
        for (int i = 0; i < kPosts; ++i) {
            const double postedAt = nowUs();
            dispatcher->post(&owner, utility::makeRunable([&, postedAt] {
                samples.push_back(nowUs() - postedAt);
                ::SetEvent(ran.get());
            }));
            ::WaitForSingleObject(ran.get(), INFINITE);
        }
        done = true;
        ::PostMessageW(dispatcher->window(), WM_NULL, 0, 0);
    });

    MSG message;
    while (!done && ::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    worker.join();

    const Percentiles p = percentiles(samples);
    std::printf("dispatcher post-to-run latency (%zu posts from a worker): median %.1f us, p99 %.1f us "
                "(target: median <= 1000 us)\n",
                samples.size(), p.median, p.p99);
}
