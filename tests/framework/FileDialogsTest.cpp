#include "base/FileDialogs.h"

#include <gtest/gtest.h>
#include <string>

using namespace zendrel;

namespace {

struct FilterCase {
    const char* given;
    const char* qt;
};

class QtFileFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(QtFileFilterTest, WritesTheFilterAsQtReadsIt) {
    EXPECT_EQ(qtFileFilter(QString::fromUtf8(GetParam().given)).toStdString(), std::string(GetParam().qt));
}

INSTANTIATE_TEST_SUITE_P(
    Filters, QtFileFilterTest,
    ::testing::Values(FilterCase{"All Files|*.*", "All Files (*)"},
                      FilterCase{"Synchronization Files|*.SYN", "Synchronization Files (*.SYN)"},
                      FilterCase{"Text Files|*.txt;*.csv|All Files|*.*", "Text Files (*.txt *.csv);;All Files (*)"},
                      // Stray separators and blanks, a description without patterns, patterns without one.
                      FilterCase{" Text Files | *.txt ; ; *.*|", "Text Files (*.txt *)"},
                      FilterCase{"Everything", "Everything (*)"}, FilterCase{"|*.ini", "*.ini (*.ini)"},
                      FilterCase{"", ""}, FilterCase{"||", ""}),
    // Stable names: CTest lists each case by its name, which must not change from one build to the next.
    [](const ::testing::TestParamInfo<FilterCase>& info) { return "case" + std::to_string(info.index); });

} // namespace
