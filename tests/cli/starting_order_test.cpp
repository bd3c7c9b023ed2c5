#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/conversion_run.h"

namespace tabrook::cli {
namespace {

using ::testing::ElementsAreArray;

struct OrderCase {
    const char* what;
    std::size_t count;
    std::vector<std::uintmax_t> tailSizes;
    std::vector<std::size_t> expected;
};

TEST(StartingOrder, ListOrderWithTheLastFewBiggestFirst) {
    const OrderCase cases[] = {
        {"no workbooks", 0, {}, {}},
        {"no tail", 3, {}, {0, 1, 2}},
        {"tail of the end", 5, {10, 30, 20}, {0, 1, 3, 4, 2}},
        {"equal sizes keep list order", 4, {7, 9, 7}, {0, 2, 1, 3}},
        {"unreadable sizes (0) go last", 4, {0, 5, 0, 5}, {1, 3, 0, 2}},
        {"a tail longer than the list", 2, {1, 2, 3, 4}, {1, 0}},
    };
    for (const OrderCase& c : cases) {
        EXPECT_THAT(StartingOrder(c.count, c.tailSizes), ElementsAreArray(c.expected)) << c.what;
    }
}

}  // namespace
}  // namespace tabrook::cli
