// Winsock is started for the whole test program, as the downloader's start-up does.

#include <gtest/gtest.h>

#include <winsock2.h>

namespace {

class WinsockEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override { ::WSACleanup(); }
};

::testing::Environment* const kWinsock = ::testing::AddGlobalTestEnvironment(new WinsockEnvironment);

}  // namespace
