#include "TestRun.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace zarvo::test
{
namespace
{
// The first line of a skip's message: what a reader needs in a summary.
std::string firstLineOf (const char* message)
{
    std::string text (message != nullptr ? message : "");
    const auto end = text.find ('\n');
    return end == std::string::npos ? text : text.substr (0, end);
}

void nameSkippedCases()
{
    const auto& unit = *::testing::UnitTest::GetInstance();
    for (int s = 0; s < unit.total_test_suite_count(); ++s)
    {
        const auto& suite = *unit.GetTestSuite (s);
        for (int t = 0; t < suite.total_test_count(); ++t)
        {
            const auto& info = *suite.GetTestInfo (t);
            const auto* result = info.result();
            if (result == nullptr || !result->Skipped())
                continue;
            std::string why;
            for (int part = 0; part < result->total_part_count() && why.empty(); ++part)
                if (result->GetTestPartResult (part).skipped())
                    why = firstLineOf (result->GetTestPartResult (part).message());
            std::cout << "skipped case: " << suite.name() << "." << info.name() << ": "
                      << (why.empty() ? "skipped" : why) << std::endl;
        }
    }
}
} // namespace

bool runningInCi()
{
    const auto* ci = std::getenv ("CI");
    return ci != nullptr && std::strcmp (ci, "true") == 0;
}

int runTests (int argc, char** argv, const std::string& cannotRunBecause)
{
    if (!cannotRunBecause.empty())
    {
        if (runningInCi())
        {
            std::cerr << "cannot run: " << cannotRunBecause << std::endl;
            return 1;
        }
        std::cout << "skipped case: (every case): " << cannotRunBecause << std::endl;
        return skipExitCode;
    }

    ::testing::InitGoogleTest (&argc, argv);

    int failed = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        failed = RUN_ALL_TESTS();
    }

    const auto& unit = *::testing::UnitTest::GetInstance();
    const bool skipped = unit.skipped_test_count() > 0;
    if (skipped)
        nameSkippedCases();
    if (failed != 0)
        return 1;
    return skipped ? skipExitCode : 0;
}
} // namespace zarvo::test
