#include "platform/x11/leave_point.h"

#include <gtest/gtest.h>

// Where a pop-up hears of a pointer that left it from a place over it: just
// past the nearest edge of its 180 x 81 window, so that any hit test sees it
// outside; a place already outside is where the pointer went.
TEST(PastNearestEdge, OutsideTheWindowFromTheNearestEdge) {
    struct Case {
        POINT left;
        POINT reported;
    } cases[] = {
        {{90, 70}, {90, 81}},    // below the last item
        {{90, 80}, {90, 81}},    // the bottom row
        {{90, 5}, {90, -1}},     // the top rows
        {{175, 40}, {180, 40}},  // the right
        {{3, 40}, {-1, 40}},     // the left
        {{0, 0}, {0, -1}},       // a corner: up rather than sideways
        {{179, 80}, {179, 81}},  // a corner on a tie: down
        {{90, 40}, {90, 81}},    // the middle row, nearer the bottom
        {{-4, 40}, {-4, 40}},    // already outside
        {{90, 81}, {90, 81}},    // just below
        {{180, 0}, {180, 0}},    // just right
    };
    for (const Case& c : cases) {
        const POINT p = x11::pastNearestEdge(c.left, 180, 81);
        EXPECT_EQ(p.x, c.reported.x) << c.left.x << "," << c.left.y;
        EXPECT_EQ(p.y, c.reported.y) << c.left.x << "," << c.left.y;
    }
}
