#include "ui/TransferRate.h"

#include <cmath>
#include <cstdio>

#include "utility/UString.h"

namespace ui {

namespace {

constexpr double kKiB = 1024.0;
constexpr double kMiB = 1048576.0;

std::wstring formatted(const wchar_t* format, double value) {
    wchar_t buffer[32] = {};
    std::swprintf(buffer, 32, format, value);
    return buffer;
}

}  // namespace

void TransferRate::add(uint32_t tickMs, int64_t received) {
    if (!samples_.empty() && received < samples_.back().received) samples_.clear();
    samples_.push_back(Sample{tickMs, received});
    // Keep one sample at or before the window's start, so the window is always fully covered.
    while (samples_.size() > 2 && tickMs - samples_[1].tickMs >= kWindowMs) samples_.pop_front();
}

std::optional<double> TransferRate::bytesPerSecond() const {
    if (samples_.size() < 2) return std::nullopt;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    const uint32_t spanMs = last.tickMs - first.tickMs;
    if (spanMs < kFirstEstimateMs) return std::nullopt;
    return static_cast<double>(last.received - first.received) * 1000.0 / spanMs;
}

std::wstring speedText(double bytesPerSecond) {
    if (bytesPerSecond >= kMiB) return formatted(L"%.1f MB/s", bytesPerSecond / kMiB);
    if (bytesPerSecond >= kKiB) return formatted(L"%.0f KB/s", std::floor(bytesPerSecond / kKiB));
    return formatted(L"%.0f B/s", std::floor(bytesPerSecond));
}

std::wstring timeLeftText(int64_t secondsLeft, const TimeLeftTexts& texts) {
    using utility::ustring::replaceAll;
    if (secondsLeft < 60) {
        const int64_t rounded = secondsLeft <= 5 ? 5 : (secondsLeft + 4) / 5 * 5;
        if (rounded < 60) return replaceAll(texts.seconds, L"{n}", std::to_wstring(rounded));
    }
    const int64_t minutes = (secondsLeft + 59) / 60;
    if (minutes < 60) return replaceAll(texts.minutes, L"{n}", std::to_wstring(minutes));
    return replaceAll(replaceAll(texts.hours, L"{h}", std::to_wstring(minutes / 60)), L"{m}",
                      std::to_wstring(minutes % 60));
}

std::wstring rateLine(const std::optional<double>& bytesPerSecond, int64_t received, int64_t total,
                      const TimeLeftTexts& texts) {
    if (!bytesPerSecond || *bytesPerSecond < 1 || total < 0) return L"";
    const int64_t remaining = total > received ? total - received : 0;
    const auto secondsLeft = static_cast<int64_t>(std::ceil(static_cast<double>(remaining) / *bytesPerSecond));
    return speedText(*bytesPerSecond) + L" \x00B7 " + timeLeftText(secondsLeft, texts);
}

}  // namespace ui
