#include "GlobalSingleton.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace
{
// What a static initialiser of another translation unit finds, before main and before JUCE or any
// window exists.
struct SeenBeforeMain
{
    GlobalSingleton* first = GlobalSingleton::getInstance();
    GlobalSingleton* second = GlobalSingleton::getInstance();
    bool messageManagerExisted = juce::MessageManager::getInstanceWithoutCreating() != nullptr;
};

const SeenBeforeMain seenBeforeMain;

std::vector<int> drain (std::deque<int>& queue)
{
    std::vector<int> values;

    while (!queue.empty())
    {
        values.push_back (queue.front());
        queue.pop_front();
    }

    return values;
}
} // namespace

TEST (GlobalSingleton, OneInstanceExistsBeforeMainAndStaysTheSame)
{
    ASSERT_NE (seenBeforeMain.first, nullptr);
    EXPECT_FALSE (seenBeforeMain.messageManagerExisted);
    EXPECT_EQ (seenBeforeMain.second, seenBeforeMain.first);
    EXPECT_EQ (GlobalSingleton::getInstance(), seenBeforeMain.first);
    EXPECT_EQ (GlobalSingleton::getInstance(), GlobalSingleton::getInstance());

    // Never shown, never placed: it only holds the queues.
    EXPECT_EQ (seenBeforeMain.first->getParentComponent(), nullptr);
    EXPECT_FALSE (seenBeforeMain.first->isOnDesktop());
}

TEST (GlobalSingleton, EachQueueGivesItsValuesBackInTheOrderTheyWentIn)
{
    struct Case
    {
        const char* name;
        std::deque<int> GlobalSingleton::*queue;
        std::vector<int> firstBatch;
        std::vector<int> secondBatch;
    };

    // Device units of each queue, edges included (the noise-reduction level is negative).
    const std::vector<Case> cases{
        { "singleQueue", &GlobalSingleton::singleQueue, { 0, 2662, 4096 }, { 4096, 1 } },
        { "reverbDequeValue", &GlobalSingleton::reverbDequeValue, { 300, 0, 150 }, { 3 } },
        { "noiseDequeValue", &GlobalSingleton::noiseDequeValue, { -1980, -9000, 0 }, { -90, -90 } },
        { "reverbTimeQueue", &GlobalSingleton::reverbTimeQueue, { 100, 50 }, { 0, 99, 1 } },
        { "singleUpDeque", &GlobalSingleton::singleUpDeque, { 0, 1, 2, 3 }, { 23, 22, 0 } },
    };

    auto& singleton = *GlobalSingleton::getInstance();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto& queue = singleton.*c.queue;
        ASSERT_TRUE (queue.empty());

        for (auto v : c.firstBatch)
            queue.push_back (v);

        // Time passing and the message loop running change nothing about what is waiting.
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);

        for (auto v : c.secondBatch)
            queue.push_back (v);

        auto expected = c.firstBatch;
        expected.insert (expected.end(), c.secondBatch.begin(), c.secondBatch.end());
        EXPECT_EQ (queue.back(), expected.back());
        EXPECT_EQ (drain (queue), expected);
    }
}
