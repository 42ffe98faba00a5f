#include "ui/TransferRate.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ui;

constexpr int64_t kMiB = 1048576;

const TimeLeftTexts kEnglish{L"about {n} s left", L"about {n} min left", L"about {h} h {m} min left"};

struct Report {
    uint32_t tickMs;
    int64_t received;
};

std::optional<double> rateAfter(const std::vector<Report>& reports) {
    TransferRate rate;
    for (const Report& report : reports) rate.add(report.tickMs, report.received);
    return rate.bytesPerSecond();
}

TEST(TransferRate, EstimatesFromTheLastFewSecondsOnly) {
    struct Case {
        const char* name;
        std::vector<Report> reports;
        std::optional<double> expected;
    } cases[] = {
        {"nothing yet", {}, std::nullopt},
        {"one report", {{1000, kMiB}}, std::nullopt},
        {"under 2 s of data", {{0, 0}, {1000, kMiB}, {1999, 2 * kMiB}}, std::nullopt},
        {"2 s at 1 MiB/s", {{0, 0}, {1000, kMiB}, {2000, 2 * kMiB}}, double(kMiB)},
        // A fast start long ago no longer counts once the window has moved past it.
        {"old burst forgotten",
         {{0, 0}, {1000, 50 * kMiB}, {2000, 51 * kMiB}, {3000, 52 * kMiB}, {4000, 53 * kMiB}, {5000, 54 * kMiB},
          {6000, 55 * kMiB}, {7000, 56 * kMiB}},
         double(kMiB)},
        // The file started again (another address): only what came since counts.
        {"restart forgets", {{0, 0}, {1000, 40 * kMiB}, {2000, 0}, {3000, kMiB}, {4000, 2 * kMiB}}, double(kMiB)},
        {"restart then too little", {{0, 0}, {1000, 40 * kMiB}, {2000, 0}, {3000, kMiB}}, std::nullopt},
        // GetTickCount wraps after 49.7 days.
        {"tick count wraps", {{0xFFFFFC18u, 0}, {0x3E8u, kMiB}, {0x7D0u, 3 * kMiB / 2}}, double(3 * kMiB / 2) / 3},
        {"stalled", {{0, 5 * kMiB}, {1000, 5 * kMiB}, {2000, 5 * kMiB}}, 0.0},
    };
    for (const Case& c : cases) {
        const std::optional<double> rate = rateAfter(c.reports);
        ASSERT_EQ(rate.has_value(), c.expected.has_value()) << c.name;
        if (rate) EXPECT_NEAR(*rate, *c.expected, 1.0) << c.name;
    }
}

TEST(TransferRate, SpeedAndTimeLeftTexts) {
    struct SpeedCase {
        double bytesPerSecond;
        const wchar_t* expected;
    } speeds[] = {
        {4.2 * kMiB, L"4.2 MB/s"}, {kMiB, L"1.0 MB/s"}, {kMiB - 1, L"1023 KB/s"},
        {850 * 1024 + 900, L"850 KB/s"}, {1024, L"1 KB/s"}, {1023, L"1023 B/s"}, {12.7, L"12 B/s"},
    };
    for (const SpeedCase& c : speeds) EXPECT_EQ(speedText(c.bytesPerSecond), c.expected) << c.bytesPerSecond;

    struct TimeCase {
        int64_t seconds;
        const wchar_t* expected;
    } times[] = {
        {0, L"about 5 s left"}, {3, L"about 5 s left"}, {6, L"about 10 s left"}, {55, L"about 55 s left"},
        {56, L"about 1 min left"}, {60, L"about 1 min left"}, {61, L"about 2 min left"},
        {3540, L"about 59 min left"}, {3541, L"about 1 h 0 min left"}, {3600, L"about 1 h 0 min left"},
        {3601, L"about 1 h 1 min left"}, {7 * 3600 + 25 * 60, L"about 7 h 25 min left"},
    };
    for (const TimeCase& c : times) EXPECT_EQ(timeLeftText(c.seconds, kEnglish), c.expected) << c.seconds;
}

TEST(TransferRate, LineIsShownOnlyWithAnEstimateAndAKnownTotal) {
    struct Case {
        const char* name;
        std::optional<double> rate;
        int64_t received, total;
        const wchar_t* expected;
    } cases[] = {
        {"no estimate yet", std::nullopt, kMiB, 100 * kMiB, L""},
        {"unknown total", 2.0 * kMiB, kMiB, -1, L""},
        {"stalled", 0.0, kMiB, 100 * kMiB, L""},
        {"minutes", 1.0 * kMiB, 10 * kMiB, 100 * kMiB, L"1.0 MB/s \x00B7 about 2 min left"},
        {"seconds", 4.2 * kMiB, 90 * kMiB, 100 * kMiB, L"4.2 MB/s \x00B7 about 5 s left"},
        {"all there", 4.2 * kMiB, 100 * kMiB, 100 * kMiB, L"4.2 MB/s \x00B7 about 5 s left"},
        {"hours", 20.0 * 1024, 0, 300 * kMiB, L"20 KB/s \x00B7 about 4 h 16 min left"},
    };
    for (const Case& c : cases) EXPECT_EQ(rateLine(c.rate, c.received, c.total, kEnglish), c.expected) << c.name;
}

}  // namespace
