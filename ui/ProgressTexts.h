#pragma once
// What the progress pages show, as pure functions of the numbers the downloads report: the size and
// status lines and bar of the emulator download, the speed label of the slow-download reports, and
// the game package line and bars, and the line naming the games that could not be installed.

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// "1.50M/600.00M": received in M, KB or B by its size, then the total in M; received alone while the
// total is unknown (negative).
std::wstring sizeLine(int64_t received, int64_t total);
// prefix + percent + "%)"; at 0 % a fraction of a percent ("0.4") once it shows; the Arabic status
// is the prefix alone.
std::wstring statusLine(const std::wstring& prefix, int percent, int64_t received, int64_t total, bool arabic);
// The download fills the bar from 3 to 63 (Arabic from 1); the installation animates the rest.
int downloadBarValue(int percent, bool arabic);
// The install animation's bar for a tick, and the step after it: 64, 66, ... up to 100.
int installBarValue(int& step);

// "0", "time<5", "<200kb/s", "<500kb/s", "<1M/s", "<2M/s" or ">2M/s".
std::wstring speedLabel(int64_t received, unsigned elapsedSeconds);

// "<prefix> <game> (2/3)：12M / 300M (<c #268fd6>4%</c>)"; a single game has no "(i/n)".
std::wstring gameProgressLine(const std::wstring& prefix, const std::wstring& gameName, int index, int count,
                              int64_t received, int64_t total);
// The percent of a package download, as its bar shows it (kept within 3 and 99).
int gameDownloadPercent(int64_t received, int64_t total);
int gameBarValue(int percent);
// The game page's failure line: every "{game}" of text replaced by the names joined by ", ".
std::wstring gameFailureLine(const std::wstring& text, const std::vector<std::wstring>& names);
// The install bar's next value from the previous one: 3 after 0 or 1, then up by one, 98 at most.
int nextGameInstallValue(int previous);

}  // namespace ui
