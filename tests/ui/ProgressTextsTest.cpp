#include "ui/ProgressTexts.h"

#include <gtest/gtest.h>

namespace {

using namespace ui;

constexpr int64_t kMiB = 1048576;
constexpr int64_t kGiB = 1024 * kMiB;

TEST(ProgressTexts, SizeLine) {
    struct Case {
        int64_t received, total;
        const wchar_t* expected;
    } cases[] = {
        {1024, 600 * kMiB, L"1.00KB/600.00M"},
        {kMiB + kMiB / 2, 600 * kMiB, L"1.50M/600.00M"},
        {512, 300 * kMiB, L"512.00B/300.00M"},
        {1023, kMiB, L"1023.00B/1.00M"},
        {kMiB, kMiB, L"1.00M/1.00M"},
        // Past 2 and 4 GiB, where 32-bit counts would turn negative or wrap.
        {4 * kGiB + 512 * kMiB, 5 * kGiB, L"4608.00M/5120.00M"},
        {3 * kGiB, 5 * kGiB, L"3072.00M/5120.00M"},
        {kMiB + kMiB / 2, -1, L"1.50M"},  // a server that names no size
    };
    for (const Case& c : cases) EXPECT_EQ(sizeLine(c.received, c.total), c.expected) << c.received;
}

TEST(ProgressTexts, StatusLineAndBar) {
    struct Case {
        int percent;
        int64_t received, total;
        bool arabic;
        const wchar_t* status;
        int bar;
    } cases[] = {
        {0, 1024, 600 * kMiB, false, L"Downloading(0%)", 3},
        {1, 6 * kMiB, 600 * kMiB, false, L"Downloading(1%)", 3},
        {42, 252 * kMiB, 600 * kMiB, false, L"Downloading(42%)", 26},
        {100, 600 * kMiB, 600 * kMiB, false, L"Downloading(100%)", 63},
        {1, 6 * kMiB, 600 * kMiB, true, L"Downloading(", 1},
        {50, 300 * kMiB, 600 * kMiB, true, L"Downloading(", 31},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(statusLine(L"Downloading(", c.percent, c.received, c.total, c.arabic), c.status) << c.percent;
        EXPECT_EQ(downloadBarValue(c.percent, c.arabic), c.bar) << c.percent;
    }
}

TEST(ProgressTexts, InstallAnimationClimbsFrom64To100AndStays) {
    int step = 0;
    std::vector<int> bars;
    for (int tick = 0; tick < 22; ++tick) bars.push_back(installBarValue(step));
    EXPECT_EQ(bars.front(), 64);
    EXPECT_EQ(bars[1], 66);
    EXPECT_EQ(bars[18], 100) << "the 19th tick reaches the end";
    EXPECT_EQ(bars[17], 98);
    EXPECT_EQ(bars.back(), 100);
    EXPECT_TRUE(std::is_sorted(bars.begin(), bars.end())) << "never backwards";
}

TEST(ProgressTexts, SpeedLabels) {
    struct Case {
        int64_t received;
        unsigned elapsed;
        const wchar_t* label;
    } cases[] = {
        {0, 100, L"0"},
        {50 * kMiB, 3, L"time<5"},
        {30 * kMiB, 100, L"<500kb/s"},
        {204799 * 10, 10, L"<200kb/s"},
        {204800 * 10, 10, L"<500kb/s"},
        {512000 * 10, 10, L"<1M/s"},
        {kMiB * 10, 10, L"<2M/s"},
        {2 * kMiB * 10, 10, L">2M/s"},
        {5 * kGiB, 100, L">2M/s"},
    };
    for (const Case& c : cases) EXPECT_EQ(speedLabel(c.received, c.elapsed), c.label) << c.received;
}

TEST(ProgressTexts, GameLineAndBars) {
    EXPECT_EQ(gameProgressLine(L"Downloading", L"MyGame", 2, 2, 12 * kMiB + kMiB / 2, 300 * kMiB),
              L"Downloading MyGame (2/2)\xFF1A" L"12M / 300M (<c #268fd6>4%</c>)");
    EXPECT_EQ(gameProgressLine(L"Downloading", L"MyGame", 1, 1, 512 * 1024, 300 * kMiB),
              L"Downloading MyGame\xFF1A" L"512KB / 300M (<c #268fd6>0%</c>)");
    EXPECT_EQ(gameProgressLine(L"Downloading", L"MyGame", 1, 1, 2048, -1),
              L"Downloading MyGame\xFF1A" L"2KB / 0M (<c #268fd6>0%</c>)")
        << "an unknown total shows no percentage";
    EXPECT_EQ(gameProgressLine(L"Downloading", L"MyGame", 1, 1, 4 * kGiB + 512 * kMiB, 5 * kGiB),
              L"Downloading MyGame\xFF1A" L"4608M / 5120M (<c #268fd6>90%</c>)")
        << "an expansion file past 4 GiB";
    struct Bar {
        int percent, bar;
    } bars[] = {{0, 0}, {1, 3}, {2, 3}, {3, 3}, {50, 50}, {99, 99}, {100, 99}};
    for (const Bar& b : bars) EXPECT_EQ(gameBarValue(b.percent), b.bar) << b.percent;
    int value = 0;
    std::vector<int> walk;
    while (value != 98) walk.push_back(value = nextGameInstallValue(value));
    EXPECT_EQ(walk.front(), 3);
    EXPECT_EQ(walk[1], 4);
    EXPECT_EQ(walk.size(), 96u) << "3 to 98, one a tick";
    EXPECT_EQ(nextGameInstallValue(98), 98);
}

// The English text as the language files carry it; the names are the games that failed, in order.
TEST(ProgressTexts, GameFailureLine) {
    const std::wstring english = L"{game} could not be installed. Pelora will start, and you can install it from there.";
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> names;
        const wchar_t* expected;
    } cases[] = {
        {english.c_str(), {L"Example Game"},
         L"Example Game could not be installed. Pelora will start, and you can install it from there."},
        {english.c_str(), {L"First", L"Second", L"Third"},
         L"First, Second, Third could not be installed. Pelora will start, and you can install it from there."},
        {L"Impossible d'installer {game}.", {L"Jeu"}, L"Impossible d'installer Jeu."},
        {L"{game} / {game}", {L"A", L"B"}, L"A, B / A, B"},
        {L"{game}", {L"Named {game}"}, L"Named {game}"},
        {L"No placeholder.", {L"A"}, L"No placeholder."},
    };
    for (const Case& c : cases) EXPECT_EQ(gameFailureLine(c.text, c.names), c.expected) << c.expected;
}

}  // namespace
