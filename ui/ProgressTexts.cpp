#include "ui/ProgressTexts.h"

#include <cstdio>

namespace ui {

namespace {

constexpr double kMiB = 1048576.0;

std::wstring formatted(const wchar_t* format, double value) {
    wchar_t buffer[24] = {};
    std::swprintf(buffer, 24, format, value);
    return buffer;
}

}  // namespace

std::wstring sizeLine(int64_t received, int64_t total) {
    std::wstring line;
    if (received >= 1048576) {
        line = formatted(L"%0.2f", received / kMiB) + L"M";
    } else if (received >= 1024) {
        line = formatted(L"%0.2f", received / 1024.0) + L"KB";
    } else {
        line = formatted(L"%0.2f", static_cast<double>(received)) + L"B";
    }
    if (total < 0) return line;
    return line + L"/" + formatted(L"%0.2f", static_cast<float>(total / kMiB)) + L"M";
}

std::wstring statusLine(const std::wstring& prefix, int percent, int64_t received, int64_t total, bool arabic) {
    if (arabic) return prefix;
    std::wstring line = prefix;
    if (percent != 0) {
        line += std::to_wstring(percent);
    } else {
        const float fraction = static_cast<float>(static_cast<double>(received) / total);
        line += fraction > 0.0099999f ? formatted(L"%0.1f", fraction) : L"0";
    }
    return line + L"%)";
}

int downloadBarValue(int percent, bool arabic) {
    float value = percent * 0.63f;
    if (value < 1) value = static_cast<float>(percent);
    if (!arabic && value < 3) value = 3;
    return static_cast<int>(value);
}

int installBarValue(int& step) {
    if (step > 35) step = 36;
    const int value = step + 64;
    step += 2;
    return value;
}

std::wstring speedLabel(int64_t received, unsigned elapsedSeconds) {
    if (received == 0) return L"0";
    if (elapsedSeconds < 5) return L"time<5";
    const int64_t speed = received / elapsedSeconds;
    if (speed < 204800) return L"<200kb/s";
    if (speed < 512000) return L"<500kb/s";
    if (speed < 1048576) return L"<1M/s";
    if (speed < 2097152) return L"<2M/s";
    return L">2M/s";
}

int gameDownloadPercent(int64_t received, int64_t total) {
    // An unknown total (-1) gives no percentage rather than a negative one.
    return total > 0 ? static_cast<int>(static_cast<double>(received) / total * 100) : 0;
}

std::wstring gameProgressLine(const std::wstring& prefix, const std::wstring& gameName, int index, int count,
                              int64_t received, int64_t total) {
    std::wstring line = prefix + L" " + gameName;
    line += count >= 2 ? L" (" + std::to_wstring(index) + L"/" + std::to_wstring(count) + L")\xFF1A" : L"\xFF1A";
    const int64_t receivedMiB = received / 1048576;
    const int64_t totalMiB = total > 0 ? total / 1048576 : 0;
    line += receivedMiB != 0 ? std::to_wstring(receivedMiB) + L"M / " : std::to_wstring(received / 1024) + L"KB / ";
    return line + std::to_wstring(totalMiB) + L"M (<c #268fd6>" + std::to_wstring(gameDownloadPercent(received, total)) +
           L"%</c>)";
}

int gameBarValue(int percent) {
    if (percent == 1 || percent == 2) return 3;
    if (percent >= 100) return 99;
    return percent;
}

std::wstring gameFailureLine(const std::wstring& text, const std::vector<std::wstring>& names) {
    std::wstring joined;
    for (const std::wstring& name : names) joined += (joined.empty() ? L"" : L", ") + name;
    static const std::wstring kPlaceholder = L"{game}";
    std::wstring line = text;
    for (size_t at = line.find(kPlaceholder); at != std::wstring::npos;
         at = line.find(kPlaceholder, at + joined.size())) {
        line.replace(at, kPlaceholder.size(), joined);
    }
    return line;
}

int nextGameInstallValue(int previous) {
    const int next = previous <= 1 ? 3 : previous + 1;
    return next >= 98 ? 98 : next;
}

}  // namespace ui
