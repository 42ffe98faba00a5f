#pragma once
// How fast the emulator's download goes and how long it still needs, for the line under the bar:
// "4.2 MB/s · about 1 min left". The speed is smoothed over the last few seconds of progress reports,
// so one slow or fast second does not make the estimate jump. Pure logic; window thread.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace ui {

class TransferRate {
public:
    // The window a speed is averaged over, and how much data is needed before one is given.
    static constexpr uint32_t kWindowMs = 5000;
    static constexpr uint32_t kFirstEstimateMs = 2000;

    // One progress report: the tick count and the bytes of the file so far. A count that goes
    // backwards (the file started again) forgets everything before it.
    void add(uint32_t tickMs, int64_t received);
    void clear() { samples_.clear(); }
    // Bytes per second over the window; nothing until reports span kFirstEstimateMs.
    std::optional<double> bytesPerSecond() const;

private:
    struct Sample {
        uint32_t tickMs;
        int64_t received;
    };
    std::deque<Sample> samples_;
};

// The translated time-left forms: "about {n} s left", "about {n} min left", "about {h} h {m} min left".
struct TimeLeftTexts {
    std::wstring seconds, minutes, hours;
};

// "4.2 MB/s" from a megabyte (MiB) per second on, "850 KB/s" from a kilobyte on, else "12 B/s".
std::wstring speedText(double bytesPerSecond);
// Seconds rounded up to 5 below a minute, whole minutes rounded up below an hour, then hours and minutes.
std::wstring timeLeftText(int64_t secondsLeft, const TimeLeftTexts& texts);
// The line under the bar, or empty (hidden) while there is no estimate, the total is unknown (< 0),
// or the speed is nil.
std::wstring rateLine(const std::optional<double>& bytesPerSecond, int64_t received, int64_t total,
                      const TimeLeftTexts& texts);

}  // namespace ui
