// Log lines name the calling function as namespace::Class::operation, worked out from the compiler's
// decorated name.

#include <gtest/gtest.h>

#include "common/LogPrint.h"
#include "tests/support/ProcessLog.h"

namespace {

struct NameCase {
    const char* pretty;
    const char* expected;
};

class QualifiedFunctionName : public ::testing::TestWithParam<NameCase> {};

TEST_P(QualifiedFunctionName, KeepsScopesAndDropsTypes) {
    EXPECT_EQ(common::qualifiedFunctionName(GetParam().pretty), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, QualifiedFunctionName,
    ::testing::Values(
        NameCase{"bool utility::process::execute(const wstring&, const wstring&, DWORD)", "utility::process::execute"},
        NameCase{"int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)", "wWinMain"},
        NameCase{"utility::Runable* utility::make()", "utility::make"},
        NameCase{"std::map<std::basic_string<wchar_t>, int> ns::C::values() const", "ns::C::values"},
        NameCase{"void DMainFrame::onClick()::<lambda()>", "DMainFrame::onClick"},
        NameCase{"void utility::FunctionRunable<F>::operator()() [with F = int]", "utility::FunctionRunable<F>::operator()"},
        NameCase{"void {anonymous}::helper(int)", "{anonymous}::helper"},
        NameCase{"void (anonymous namespace)::helper(int)", "(anonymous namespace)::helper"},
        NameCase{"ConfigImp::ConfigImp()", "ConfigImp::ConfigImp"}));

}  // namespace

namespace sample::area {

struct Widget {
    void announce() { PEL_LOG(L"widget-announces %d", 3); }
};

}  // namespace sample::area

TEST(PelLogMacro, LogsUnderTheQualifiedNameAndLine) {
    testsupport::processLogPath();
    sample::area::Widget().announce();
    EXPECT_TRUE(testsupport::logContains("\tsample::area::Widget::announce\t("));
    EXPECT_TRUE(testsupport::logContains("):widget-announces 3\r\n"));
}
