// COM is initialised for the whole test program on the main thread, as the downloader's start-up does.

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

namespace {

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
    void TearDown() override { ::CoUninitialize(); }
};

::testing::Environment* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

}  // namespace
