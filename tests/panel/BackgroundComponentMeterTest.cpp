#include "PanelTest.h"

#include <gtest/gtest.h>

using namespace zarvo::test;

TEST_F (PanelTest, Builds)
{
    makePanel();
}
