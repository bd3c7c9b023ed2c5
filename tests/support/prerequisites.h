#pragma once
// Tests that need something outside the project (the shared corpus, LibreOffice, the
// independent readers, Node) skip with a message on a developer's machine that lacks it;
// under CI=true the same absence fails the test, so that CI never passes by testing less.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace tabrook::testing {

inline bool InContinuousIntegration() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) == "true";
}

}  // namespace tabrook::testing

// Use as GTEST_SKIP: `TABROOK_SKIP_UNLESS_CI() << "why";` returns from the test.
#define TABROOK_SKIP_UNLESS_CI()                                                            \
    return ::testing::internal::AssertHelper(::tabrook::testing::InContinuousIntegration()  \
                                                 ? ::testing::TestPartResult::kFatalFailure \
                                                 : ::testing::TestPartResult::kSkip,        \
                                             __FILE__, __LINE__,                            \
                                             "a prerequisite of this test is missing") =    \
               ::testing::Message()
