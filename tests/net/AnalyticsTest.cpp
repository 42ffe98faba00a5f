// The analytics reporter against the scripted server as collector: the hits as they arrive on the
// wire, values that would cut or rewrite a hit arriving escaped and whole, the queue limit while the
// worker is held, the disabled state, immediate events that never hold up their caller and a finish
// bounded in time, and a destructor that stops held sends. The machine id from adapter lists, given
// and this machine's own.

#include <gtest/gtest.h>

#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <future>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "net/AnalyticsReporter.h"
#include "net/HttpClientWrapper.h"
#include "net/MachineId.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestServers.h"
#include "utility/Digest.h"
#include "utility/UString.h"

using namespace testsupport;

namespace {

// Request lines of the logged requests that contain the text, in arrival order.
std::vector<std::string> requestLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream requests(loggedRequestsFor(text));
    for (std::string line; std::getline(requests, line);) {
        if (line.rfind("GET ", 0) == 0 && line.find(text) != std::string::npos) lines.push_back(line);
    }
    return lines;
}

bool logged(const std::string& text) { return !requestLines(text).empty(); }

// A new one on every call, so that hits of an earlier test or run against the same servers never count.
std::string uniqueTag() {
    static int calls = 0;
    return "r" + std::to_string(::GetCurrentProcessId()) + "x" + std::to_string(::GetTickCount()) + "n" +
           std::to_string(++calls);
}

std::wstring wide(const std::string& text) { return utility::ustring::ansiToWide(text); }

std::wstring collectorBase(const std::string& prefix) {
    return TestServers::url(TestServers::get().http, wide(prefix));
}

// This machine's id worked out here from GetAdaptersInfo, apart from the code under test.
std::string expectedMachineId() {
    ULONG size = 0;
    ::GetAdaptersInfo(nullptr, &size);
    std::vector<std::string> addresses;
    if (size != 0) {
        std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
        if (::GetAdaptersInfo(buffer.data(), &size) == ERROR_SUCCESS) {
            for (const IP_ADAPTER_INFO* a = buffer.data(); a != nullptr; a = a->Next) {
                if (std::all_of(a->Address, a->Address + 8, [](BYTE b) { return b == 0; })) continue;
                char text[13];
                std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", a->Address[0], a->Address[1],
                              a->Address[2], a->Address[3], a->Address[4], a->Address[5]);
                addresses.push_back(text);
            }
        }
    }
    if (addresses.empty()) return "";
    std::sort(addresses.begin(), addresses.end());
    std::string joined = addresses[0];
    for (size_t i = 1; i < addresses.size(); ++i) joined += "|" + addresses[i];
    const std::string digest = utility::digest::md5Hex(joined);
    if (addresses.size() == 1) return digest;
    std::ostringstream prefix;
    prefix << std::hex << addresses.size() << "-";
    return prefix.str() + digest;
}

// "GET <prefix>z=<digits> HTTP/1.1" with the expected prefix.
void expectHit(const std::string& line, const std::string& expectedStart) {
    ASSERT_EQ(line.substr(0, expectedStart.size()), expectedStart) << line;
    const std::string rest = line.substr(expectedStart.size());
    const size_t end = rest.find(" HTTP/1.1");
    ASSERT_NE(end, std::string::npos) << line;
    ASSERT_GT(end, 0u) << "z carries no number: " << line;
    EXPECT_TRUE(std::all_of(rest.begin(), rest.begin() + end, [](char c) { return std::isdigit(c) != 0; })) << line;
}

class Analytics : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(TestServers::get().http, 0) << "test servers are not running"; }

    static void releaseHeldRequests() {
        utility::CHttpClientWrapper client;
        std::string answer;
        client.download2mem(answer, TestServers::url(TestServers::get().http, L"/control/release"));
    }
};

struct HitCase {
    const char* name;
    bool queued;
    const char* category;
};

class AnalyticsHit : public Analytics, public ::testing::WithParamInterface<HitCase> {};

TEST_P(AnalyticsHit, CarriesTheExactQueryOnTheWire) {
    const std::string prefix = "/" + uniqueTag() + "-hit-" + GetParam().name;
    AnalyticsReporter reporter(collectorBase(prefix));
    reporter.setTrackingId(L"UA-12345-6");
    if (GetParam().queued) {
        reporter.reportEvent(L"download_start", L"100_first try/v2:ok");
        ASSERT_TRUE(waitUntil([&] { return logged(prefix + "/collect?"); }));
    } else {
        reporter.reportEventNow(L"download_start", L"100_first try/v2:ok");
        ASSERT_TRUE(reporter.finishImmediate(30000));
    }
    const std::vector<std::string> lines = requestLines(prefix + "/collect?");
    ASSERT_EQ(lines.size(), 1u);
    // Every character of the label but letters, digits and "-_.~" arrives escaped.
    expectHit(lines[0], "GET " + prefix + "/collect?v=1&t=event&tid=UA-12345-6&cid=" + expectedMachineId() +
                            "&ec=" + GetParam().category +
                            "&ea=download_start&el=100_first%20try%2Fv2%3Aok&ev=100&z=");
}

INSTANTIATE_TEST_SUITE_P(Forms, AnalyticsHit,
                         ::testing::Values(HitCase{"Queued", true, "app2"}, HitCase{"Immediate", false, "app"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The query of a hit's request line as key and raw value, in order.
std::vector<std::pair<std::string, std::string>> queryOf(const std::string& requestLine) {
    const size_t start = requestLine.find('?') + 1;
    const std::string query = requestLine.substr(start, requestLine.find(' ', start) - start);
    std::vector<std::pair<std::string, std::string>> parameters;
    std::istringstream pieces(query);
    for (std::string piece; std::getline(pieces, piece, '&');) {
        const size_t equals = piece.find('=');
        parameters.emplace_back(piece.substr(0, equals), equals == std::string::npos ? "" : piece.substr(equals + 1));
    }
    return parameters;
}

// Escaped as the collector reads it: only unreserved characters and "%XX" triples, which decode to the
// bytes; nullopt for anything else.
std::optional<std::string> decodedValue(const std::string& raw) {
    std::string bytes;
    for (size_t i = 0; i < raw.size(); ++i) {
        const unsigned char c = raw[i];
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            bytes += raw[i];
        } else if (c == '%' && i + 2 < raw.size() && std::isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
            bytes += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

struct ValueCase {
    const char* name;
    std::wstring trackingId;
    std::wstring action;
    std::wstring label;  // an open id and what follows it, as the events carry them
};

class AnalyticsValue : public Analytics, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(AnalyticsValue, ArrivesWholeAndDecodesToTheOriginal) {
    const std::string prefix = "/" + uniqueTag() + "-value-" + GetParam().name;
    AnalyticsReporter reporter(collectorBase(prefix));
    reporter.setTrackingId(GetParam().trackingId);
    reporter.reportEvent(GetParam().action, GetParam().label);
    ASSERT_TRUE(waitUntil([&] { return logged(prefix + "/collect?"); }));
    const std::vector<std::string> lines = requestLines(prefix + "/collect?");
    ASSERT_EQ(lines.size(), 1u);

    const auto parameters = queryOf(lines[0]);
    std::vector<std::string> keys;
    std::vector<std::string> values;
    for (const auto& [key, raw] : parameters) {
        keys.push_back(key);
        const std::optional<std::string> value = decodedValue(raw);
        ASSERT_TRUE(value.has_value()) << key << " is not escaped: " << lines[0];
        values.push_back(*value);
    }
    ASSERT_EQ(keys, (std::vector<std::string>{"v", "t", "tid", "cid", "ec", "ea", "el", "ev", "z"})) << lines[0];
    const auto utf8 = [](const std::wstring& text) { return utility::ustring::wideToUtf8(text); };
    EXPECT_EQ(values, (std::vector<std::string>{"1", "event", utf8(GetParam().trackingId), expectedMachineId(),
                                                "app2", utf8(GetParam().action), utf8(GetParam().label), "100",
                                                values.back()}));
    EXPECT_FALSE(values.back().empty());
    EXPECT_TRUE(std::all_of(values.back().begin(), values.back().end(), [](char c) { return std::isdigit(c) != 0; }));
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, AnalyticsValue,
    ::testing::Values(
        ValueCase{"Ampersand", L"UA-1-1", L"download_start", L"12345&el=other&ev=1_x"},
        ValueCase{"Hash", L"UA-1-1", L"install#2", L"12345#cut_1"},
        ValueCase{"Percent", L"UA-1-1", L"download_start", L"100%_%25_%zz"},
        ValueCase{"Equals", L"UA=1", L"a=b", L"k=v=w"},
        ValueCase{"BlanksAndPlus", L"UA-1-1", L"download start", L" first try + more "},
        ValueCase{"SlashColonQuestion", L"UA-1-1", L"download_start", L"/v2:ok?x;y,z"},
        ValueCase{"NonAscii", L"UA-\u00e9", L"\u5b89\u88c5", L"\u6e38\u620f_\u00fcber_\U0001F3AE"},
        ValueCase{"Everything", L"UA-1-1", L"download_Success", L"a&b#c%d=e f\u6e38\r\n_30"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Analytics, DropsEventsBeyondOneHundredWaiting) {
    const std::string label = uniqueTag() + "-limit-";
    const auto hitsOf = [&](int i) { return requestLines("&el=" + label + std::to_string(i) + "&"); };
    std::optional<AnalyticsReporter> reporter(std::in_place, collectorBase("/hold"));

    // The worker takes event 0 off the queue and then blocks in its send until we release it.
    reporter->reportEvent(L"limit", wide(label + "0"));
    ASSERT_TRUE(waitUntil([&] { return !hitsOf(0).empty(); }));
    // So the queue is empty again and takes events 1 to 100; 101 to 105 find it full and are dropped.
    for (int i = 1; i <= 105; ++i) reporter->reportEvent(L"limit", wide(label + std::to_string(i)));

    // Every held send waits for the next release, so keep releasing until the queue has drained. Once
    // event 1 is out there is room again: a last event queued then goes behind everything accepted.
    const auto releaseUntil = [&](int i) {
        return waitUntil([&] { return releaseHeldRequests(), !hitsOf(i).empty(); }, std::chrono::seconds(60));
    };
    ASSERT_TRUE(releaseUntil(1));
    reporter->reportEvent(L"limit", wide(label + "999"));
    ASSERT_TRUE(releaseUntil(999));
    // The last send may still be held: the destructor stops it, and the releases free the server.
    const auto destroyed = std::async(std::launch::async, [&] { reporter.reset(); });
    while (destroyed.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) releaseHeldRequests();

    // 101 sent: event 0 that was in flight while the other 105 came, and the 100 the queue held.
    const std::vector<std::string> sent = requestLines("&el=" + label);
    ASSERT_EQ(sent.size(), 102u) << "101 of the limit events and the last one";
    for (int i = 0; i <= 100; ++i) {
        EXPECT_NE(sent[i].find("&el=" + label + std::to_string(i) + "&"), std::string::npos) << "in order";
    }
    for (int i = 101; i <= 105; ++i) EXPECT_TRUE(hitsOf(i).empty()) << i;
}

TEST_F(Analytics, SendsNothingWhileDisabled) {
    const std::string prefix = "/" + uniqueTag() + "-disabled";
    AnalyticsReporter reporter(collectorBase(prefix));
    reporter.setDisabled(true);
    EXPECT_TRUE(reporter.disabled());
    reporter.reportEventNow(L"shutdown", L"100_now");
    // An immediate send started all the same would have arrived by the end of this.
    EXPECT_TRUE(reporter.finishImmediate(10000));
    reporter.reportEvent(L"shutdown", L"100_queued");
    // A queued event after re-enabling arrives behind anything queued before it.
    reporter.setDisabled(false);
    reporter.reportEvent(L"shutdown", L"100_after");
    std::vector<std::string> lines;
    ASSERT_TRUE(waitUntil([&] {
        lines = requestLines(prefix + "/collect?");
        return !lines.empty() && lines.back().find("&el=100_after&") != std::string::npos;
    }));
    EXPECT_EQ(lines.size(), 1u) << "something was sent while disabled";
}

// Against a collector that holds every hit for up to 60 s.
TEST_F(Analytics, DestructorStopsTheSendsInProgressAndDropsTheRest) {
    const std::string prefix = "/hold/" + uniqueTag() + "-stop";
    std::optional<AnalyticsReporter> reporter(std::in_place, collectorBase(prefix));
    reporter->reportEvent(L"held", L"100_queued");
    reporter->reportEventNow(L"held", L"100_now");
    ASSERT_TRUE(waitUntil([&] { return requestLines(prefix + "/collect?").size() == 2; }));
    reporter->reportEvent(L"held", L"100_second");
    reporter->reportEvent(L"held", L"100_third");
    const DWORD begin = ::GetTickCount();
    reporter.reset();
    EXPECT_LT(::GetTickCount() - begin, 10000u) << "the destructor waited for the held sends";
    // A send its stop could not end goes on once released; its worker must not go on to the queued events.
    releaseHeldRequests();
    EXPECT_FALSE(waitUntil([&] { return requestLines(prefix + "/collect?").size() > 2; }, std::chrono::seconds(2)))
        << "queued events are dropped, not sent";
}

struct FinishCase {
    const char* name;
    const char* prefixStart;  // "/hold/": the collector holds every hit
    unsigned long timeoutMs;
    bool answered;
};

class AnalyticsFinish : public Analytics, public ::testing::WithParamInterface<FinishCase> {};

// Two immediate events in flight at once; the reports themselves never wait for the collector.
TEST_P(AnalyticsFinish, WaitsForTheImmediateEventsNoLongerThanItsTime) {
    const std::string prefix = GetParam().prefixStart + uniqueTag() + "-finish";
    AnalyticsReporter reporter(collectorBase(prefix));
    const DWORD reporting = ::GetTickCount();
    reporter.reportEventNow(L"now", L"100_first");
    reporter.reportEventNow(L"now", L"100_second");
    EXPECT_LT(::GetTickCount() - reporting, 10000u) << "reportEventNow waited for the collector";
    ASSERT_TRUE(waitUntil([&] { return requestLines(prefix + "/collect?").size() == 2; }));
    const DWORD finishing = ::GetTickCount();
    EXPECT_EQ(reporter.finishImmediate(GetParam().timeoutMs), GetParam().answered);
    EXPECT_LT(::GetTickCount() - finishing, GetParam().timeoutMs + 10000) << "finishImmediate overstayed its time";
    releaseHeldRequests();
}

INSTANTIATE_TEST_SUITE_P(Collectors, AnalyticsFinish,
                         ::testing::Values(FinishCase{"Answering", "/", 30000, true},
                                           FinishCase{"Holding", "/hold/", 1000, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Analytics, SendsFromManyThreadsWithOneClientId) {
    const std::string prefix = "/" + uniqueTag() + "-threads";
    AnalyticsReporter reporter(collectorBase(prefix));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&reporter, t] {
            reporter.reportEventNow(L"now", L"100_" + std::to_wstring(t));
            reporter.reportEvent(L"queued", L"100_" + std::to_wstring(t));
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(waitUntil([&] { return requestLines(prefix + "/collect?").size() == 8; }));
    for (const std::string& line : requestLines(prefix + "/collect?")) {
        EXPECT_NE(line.find("&cid=" + expectedMachineId() + "&"), std::string::npos) << line;
    }
}

struct MachineIdCase {
    const char* name;
    std::vector<std::wstring> addresses;
    std::string id;
};

class MachineIdFrom : public ::testing::TestWithParam<MachineIdCase> {};

TEST_P(MachineIdFrom, HashesTheSortedAddresses) {
    EXPECT_EQ(utility::machine::machineIdFrom(GetParam().addresses), GetParam().id);
}

std::vector<std::wstring> seventeenAddressesBackwards() {
    std::vector<std::wstring> addresses;
    for (int i = 17; i >= 1; --i) {
        wchar_t text[13];
        std::swprintf(text, 13, L"%012X", i);
        addresses.push_back(text);
    }
    return addresses;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MachineIdFrom,
    ::testing::Values(
        MachineIdCase{"OneAdapter", {L"001A2B3C4D5E"}, "7598b725a578ee13656d280b6520f326"},
        MachineIdCase{"TwoAdapters", {L"001A2B3C4D5E", L"0A0B0C0D0E0F"}, "2-45a1045448cd086798438d443019e356"},
        MachineIdCase{"TwoAdaptersUnsorted", {L"0A0B0C0D0E0F", L"001A2B3C4D5E"}, "2-45a1045448cd086798438d443019e356"},
        MachineIdCase{"DuplicatesKept",
                      {L"FFFFFFFFFFFF", L"001A2B3C4D5E", L"001A2B3C4D5E"},
                      "3-d14ce89ddbd4ffe2f48474e82d17887c"},
        MachineIdCase{"CountInHex", seventeenAddressesBackwards(), "11-a90a33f433b29e4f88b28de73cb0c49a"},
        MachineIdCase{"NoAdapters", {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A GetAdaptersInfo list built by hand: each entry's full 8-byte address field.
std::vector<IP_ADAPTER_INFO> adapterList(const std::vector<std::vector<BYTE>>& fields) {
    std::vector<IP_ADAPTER_INFO> list(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        std::copy(fields[i].begin(), fields[i].end(), list[i].Address);
        list[i].AddressLength = 6;
        list[i].Next = i + 1 < fields.size() ? &list[i + 1] : nullptr;
    }
    return list;
}

TEST(AdapterAddresses, SkipsAllZeroFieldsAndKeepsTheRestInListOrder) {
    const auto list = adapterList({
        {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},              // no address: left out
        {0, 0, 0, 0, 0, 0, 0, 0x01},           // zero in its first 6 bytes only: counts
        {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89},  // bytes past the 6th do not show
        {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0, 0},        // a duplicate stays
    });
    EXPECT_EQ(utility::machine::adapterAddresses(list.data()),
              (std::vector<std::wstring>{L"001A2B3C4D5E", L"000000000000", L"ABCDEF012345", L"001A2B3C4D5E"}));
    EXPECT_TRUE(utility::machine::adapterAddresses(nullptr).empty());
}

TEST(AdapterAddresses, OfThisMachineGiveTheIdWorkedOutDirectly) {
    EXPECT_EQ(utility::machine::machineId(), expectedMachineId());
}

}  // namespace
