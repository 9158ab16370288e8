// How a test executable runs its cases: inside an initialised JUCE GUI library, so that components,
// timers and the message loop work as they do in the app; and with an exit code that tells CTest a
// run in which cases were skipped from one that passed.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace zarvo::test
{
// True when running under CI (CI=true), where a test must fail, not skip, for want of what it needs
// (FUSE, a namespace, a display).
bool runningInCi();

// Empty when `failure` is, else `what` followed by it: for ZARVO_REQUIRE.
inline std::string withReason (const std::string& what, const std::string& failure)
{
    return failure.empty() ? failure : what + failure;
}

// The exit code of a run in which at least one case was skipped and none failed; every test
// registered with CTest has it as its SKIP_RETURN_CODE (the build defines it for both).
constexpr int skipExitCode = ZARVO_SKIP_EXIT_CODE;

// Runs every case and returns the exit code: 0, skipExitCode, or 1 when a case failed. Each skipped
// case is named at the end on a line of its own, "skipped case: SUITE.NAME: WHY", for the test
// scripts to collect (CTest prints nothing of a skipped test). When `cannotRunBecause` is not empty,
// no case runs: under CI=true the run fails with that reason, anywhere else it is skipped with it.
int runTests (int argc, char** argv, const std::string& cannotRunBecause = {});
} // namespace zarvo::test

// Leaves the current test when `whyNot` (a string) is not empty: skipped with that reason, or failed
// under CI, where a test must not skip for want of what the machine should give it.
#define ZARVO_REQUIRE(whyNot)                                                                                          \
    do                                                                                                                 \
    {                                                                                                                  \
        const std::string zarvoWhyNot = (whyNot);                                                                      \
        if (!zarvoWhyNot.empty())                                                                                      \
        {                                                                                                              \
            if (::zarvo::test::runningInCi())                                                                          \
                FAIL() << zarvoWhyNot;                                                                                 \
            GTEST_SKIP() << zarvoWhyNot;                                                                               \
        }                                                                                                              \
    } while (false)
