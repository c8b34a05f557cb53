// Which member a tour shows next.

#include <gtest/gtest.h>

#include "Rows.h"
#include "view/FolderTour.h"

namespace {

struct OrderRow {
    const char* name;
    const char* eligible;  // "x" eligible, "." skipped
    int from, direction, next;
};
class TourOrder : public ::testing::TestWithParam<OrderRow> {};

TEST_P(TourOrder, SkipsTheIneligibleAndWraps) {
    QList<bool> eligible;
    for (const char* c = GetParam().eligible; *c; ++c) eligible << (*c == 'x');
    EXPECT_EQ(NextTourMember(eligible, GetParam().from, GetParam().direction), GetParam().next);
}

const OrderRow kOrderRows[] = {
    {"FirstFromTheStart", "xxxx", -1, 1, 0},
    {"LastFromTheStartBackwards", "xxxx", -1, -1, 3},
    {"Next", "xxxx", 1, 1, 2},
    {"SkipsOne", "xx.x", 1, 1, 3},
    {"WrapsAtTheEnd", "x.xx", 3, 1, 0},
    {"WrapsBackwards", "xx.x", 0, -1, 3},
    {"TheOnlyOneComesBackToItself", "..x.", 2, 1, 2},
    {"NoneEligible", "....", 1, 1, -1},
    {"NoMembers", "", -1, 1, -1},
    {"AFromPastTheEndStartsOver", "x.x", 7, 1, 0},
};
VANTORA_ROWS(TourOrder, kOrderRows);

}  // namespace
