// The control panel's structure, switches, mute, heartbeat and device synchronisation, against the
// virtual KT-Q7TR.
#include "PanelTest.h"

#include <gtest/gtest.h>

using namespace zarvo;
using namespace zarvo::test;

TEST_F (PanelTest, Smoke)
{
    auto& p = makePanel();
    EXPECT_EQ (p.meterSegments.size(), 24u);
    EXPECT_NE (hid->hidDevice, nullptr);
    for (auto& l : log().lines())
        std::fprintf (stderr, "%s\n", l.c_str());
}
