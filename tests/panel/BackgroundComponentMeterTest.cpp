// The input level meter against the virtual KT-Q7TR: the level the heartbeat poll reads, scaled by
// the gain slider, turned into a list of segments by DectorTimer and drawn by its MyTimer. A list
// lives only until MyTimer's next tick, so the ticks are called by hand on stopped timers; the
// running timers are left to run only for the picture of the painted panel.
#include "PanelTest.h"
#include "PollUntil.h"

#include "GlobalSingleton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

using namespace zarvo::test;

namespace
{
constexpr int segmentCount = 24;

// The level at which each segment's index is appended: one decibel apart, up to 32768.
constexpr std::array<unsigned int, segmentCount> thresholds = {
    2319, 2602,  2920,  3276,  3676,  4125,  4628,  5193,  5827,  6538,  7335,  8230,
    9235, 10362, 11626, 13045, 14636, 16422, 18426, 20675, 23197, 26028, 29204, 32768
};

const std::string levelBefore = "1===when dectorGainValue < 50 : ";
const std::string levelInLowTier = "2===when dectorGainValue < 50 : ";
const std::string levelAfter = "3===when dectorGainValue < 50 : ";
const std::string quietZeroPushed = "singleUpDeque->push_back(0) ";
const std::string indexPushed = "singleUpDeque->push_back(i), i =  ";
const std::string coverHidden = "owner.owner.m_mask.at(modifyNum)->setVisible(false); modifyNum: ";
const std::string coverShown = "owner.owner.addAndMakeVisible(owner.owner.m_mask.at(i)); i: ";

// The meter as a row of 24 characters, segment 0 first: '#' lit (its cover hidden), '.' dark.
std::string pictureOf (BackgroundComponent& panel)
{
    std::string picture;
    for (auto& cover : panel.m_mask)
        picture += cover->isVisible() ? '.' : '#';
    return picture;
}

std::string lit (int count)
{
    return std::string ((size_t)count, '#') + std::string ((size_t)(segmentCount - count), '.');
}

// A picture no pass draws, lit at both ends, so that every cover a tick ought to set shows whether
// it did.
const std::string patchy = "#.#.#.#.#.#.#.#.#.#.#.##";

void setPicture (BackgroundComponent& panel, const std::string& picture)
{
    for (size_t i = 0; i < panel.m_mask.size(); ++i)
        panel.m_mask[i]->setVisible (picture[i] == '.');
}

std::deque<int>& segmentQueue()
{
    return GlobalSingleton::getInstance()->singleUpDeque;
}

std::vector<int> queued()
{
    return { segmentQueue().begin(), segmentQueue().end() };
}

// 0, 1, ..., last, after a second 0 when the quiet-level rule appends one first.
std::vector<int> run (int last, bool quietZero = false)
{
    std::vector<int> list;
    if (quietZero)
        list.push_back (0);
    for (int i = 0; i <= last; ++i)
        list.push_back (i);
    return list;
}

// Moves the gain slider the way a user's change does, so that its listener sees the value even when
// the slider already stands on it.
void setGain (BackgroundComponent& panel, int sliderValue)
{
    panel.gainSlider.setValue (sliderValue == 0 ? 1 : 0, juce::dontSendNotification);
    panel.gainSlider.setValue (sliderValue, juce::sendNotificationSync);
}

class MeterTest : public PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        makePanel();
        stopTimers();
        log().clear();
    }

    BackgroundComponent::DectorTimer& producer() { return *panel().dectorTimer; }
    BackgroundComponent::DectorTimer::MyTimer& consumer() { return *producer().maskTimer; }

    void setGain (int sliderValue) { ::setGain (panel(), sliderValue); }

    // The device reports the level; the heartbeat poll reads it.
    void deviceLevel (unsigned int level)
    {
        model().setInputLevel (level);
        panel().pollDevice();
        EXPECT_EQ (panel().inputLevel, level);
    }

    // One tick of each timer, with only its own lines in the log.
    void produce()
    {
        log().clear();
        producer().timerCallback();
    }
    void consume()
    {
        log().clear();
        consumer().timerCallback();
    }

    // Gain and level set, then one pass that leaves its list queued and MyTimer stopped.
    void queueListFor (int gain, unsigned int level)
    {
        setGain (gain);
        deviceLevel (level);
        produce();
        consumer().stopTimer();
    }

    // A pass and its drawing: the picture the meter settles on.
    void draw (int gain, unsigned int level)
    {
        queueListFor (gain, level);
        consume();
        ASSERT_TRUE (segmentQueue().empty());
    }

    void toggleMute()
    {
        panel().toggleMute();
        panel().heartbeatTimer->stopTimer();
    }
};

// The lines of one pass: the level before and after each segment's step, the line of the 0.8 tier,
// and a line for each index appended.
std::vector<std::string> passLines (unsigned int level, const std::vector<unsigned int>& valuesAfter, bool lowTier,
                                    bool quietZero, int last)
{
    std::vector<std::string> lines;
    unsigned int value = level;
    for (int pos = 0; pos < segmentCount; ++pos)
    {
        lines.push_back (levelBefore + std::to_string (value));
        if (lowTier)
            lines.push_back (levelInLowTier + std::to_string (value));
        value = valuesAfter.size() == 1 ? valuesAfter[0] : valuesAfter[(size_t)pos];
        lines.push_back (levelAfter + std::to_string (value));
        if (pos == 0 && quietZero)
            lines.push_back (quietZeroPushed);
        if (pos <= last)
            lines.push_back (indexPushed + std::to_string (pos));
    }
    return lines;
}

// The lines of drawing a list: each listed cover hidden, then, below the last segment, the covers
// from the list's last index on shown again.
std::vector<std::string> drawLines (const std::vector<int>& list)
{
    std::vector<std::string> lines;
    for (int index : list)
        lines.push_back (coverHidden + std::to_string (index));
    if (!list.empty() && list.back() < segmentCount - 1)
        for (int i = list.back(); i < segmentCount; ++i)
            lines.push_back (coverShown + std::to_string (i));
    return lines;
}

struct MeterCase
{
    const char* name;
    int gain;
    unsigned int level;
    // The working level after each of the 24 passes; a single value: the same after every pass.
    std::vector<unsigned int> valuesAfter;
    bool lowTier;
    bool quietZero; // the 0 appended for a quiet level in the first pass
    int last;       // the last index of the run; -1: none
    std::string picture;
};

const std::vector<unsigned int> at95 = { 62258, 59145, 56187, 53377, 50708, 48172, 45763, 43474,
                                         41300, 39235, 37273, 35409, 33638, 31956, 30358, 28840,
                                         27398, 26028, 24726, 23489, 22314, 21198, 20138, 19131 };
const std::vector<unsigned int> at80 = {
    52428, 41942, 33553, 26842, 21473, 17178, 13742, 10993, 8794, 7035, 5628, 4502,
    3601,  2880,  2304,  1843,  1474,  1179,  943,   754,   603,  482,  385,  308
};
const std::vector<unsigned int> at60 = { 39321, 23592, 14155, 8493, 5095, 3057, 1834, 1100, 660, 396, 237, 142,
                                         85,    51,    30,    18,   10,   6,    3,    1,    0,   0,   0,   0 };

const std::vector<MeterCase> meterCases = {
    { "full gain from 29205: raised to 32800, every segment", 100, 29205, { 32800 }, false, false, 23, lit (24) },
    { "full gain just below 29205", 100, 29204, { 29204 }, false, false, 22, lit (22) },
    { "gain 90 at the loudest level", 90, 65535, { 65535 }, false, false, 23, lit (24) },
    { "gain 90 from 29205: not raised", 90, 29205, { 29205 }, false, false, 22, lit (22) },
    { "full gain at 5000", 100, 5000, { 5000 }, false, false, 6, lit (6) },
    { "gain 65: 0.95 in every pass", 65, 65535, at95, false, false, 19, lit (19) },
    { "gain 50: 0.8 in every pass, with its own line", 50, 65535, at80, true, false, 9, lit (9) },
    { "gain 9: 0.6 in every pass", 9, 65535, at60, false, false, 4, lit (4) },
    { "gain 80 at 2318: only the quiet 0", 80, 2318, { 2318 }, false, true, -1, lit (0) },
    { "gain 80 at 201: the quietest level that appends", 80, 201, { 201 }, false, true, -1, lit (0) },
    { "full gain at 2319: 0 twice", 100, 2319, { 2319 }, false, true, 0, lit (0) },
    { "full gain at 200: nothing appended, the picture stands", 100, 200, { 200 }, false, false, -1, patchy },
    { "gain 0: nothing appended, every cover shown", 0, 65535, { 0 }, false, false, -1, lit (0) },
};

TEST_F (MeterTest, EachPassScalesTheLevelByTheGainSegmentBySegmentAndTheListIsDrawn)
{
    for (const auto& c : meterCases)
    {
        SCOPED_TRACE (c.name);
        clearValueQueues();
        setPicture (panel(), patchy);
        setGain (c.gain);
        deviceLevel (c.level);

        produce();
        EXPECT_EQ (log().lines(), passLines (c.level, c.valuesAfter, c.lowTier, c.quietZero, c.last));
        const auto list = c.last < 0 ? std::vector<int> (c.quietZero ? 1 : 0, 0) : run (c.last, c.quietZero);
        EXPECT_EQ (queued(), list);
        EXPECT_EQ (pictureOf (panel()), patchy) << "DectorTimer draws nothing itself";
        EXPECT_TRUE (consumer().isTimerRunning()) << "every pass restarts MyTimer";
        EXPECT_EQ (consumer().getTimerInterval(), 10);
        consumer().stopTimer();

        consume();
        EXPECT_EQ (log().lines(), drawLines (list));
        EXPECT_TRUE (segmentQueue().empty());
        EXPECT_EQ (pictureOf (panel()), c.picture);
    }
}

// The tier of each slider value shows in the first pass: its factor in the value after it, and the
// 0.8 tier's own line. The single-precision fractions of 80 and 10 lie just above the double limits.
TEST_F (MeterTest, TheGainTierFollowsTheSliderValueAtEachBoundary)
{
    struct Tier
    {
        int gain;
        unsigned int afterFirstPass;
        bool lowTier;
    };
    for (const auto& t :
         { Tier{ 100, 32800, false }, Tier{ 99, 65535, false }, Tier{ 80, 65535, false }, Tier{ 79, 62258, false },
           Tier{ 51, 62258, false }, Tier{ 50, 52428, true }, Tier{ 10, 52428, true }, Tier{ 9, 39321, false },
           Tier{ 1, 39321, false }, Tier{ 0, 0, false } })
    {
        SCOPED_TRACE ("gain slider " + std::to_string (t.gain));
        clearValueQueues();
        setGain (t.gain);
        deviceLevel (65535);

        produce();
        const auto lines = log().lines();
        std::vector<std::string> firstPass = { levelBefore + "65535" };
        if (t.lowTier)
            firstPass.push_back (levelInLowTier + "65535");
        firstPass.push_back (levelAfter + std::to_string (t.afterFirstPass));
        ASSERT_GE (lines.size(), firstPass.size());
        EXPECT_EQ (std::vector<std::string> (lines.begin(), lines.begin() + (long)firstPass.size()), firstPass);
    }
}

// At gain 90 the level passes unscaled and is never raised: each segment's index is appended from
// its threshold on and not one below it.
TEST_F (MeterTest, EachSegmentLightsFromItsThresholdOn)
{
    setGain (90);
    for (int i = 0; i < segmentCount; ++i)
    {
        SCOPED_TRACE ("segment " + std::to_string (i));

        deviceLevel (thresholds[(size_t)i]);
        produce();
        // The first threshold is also the top of the quiet levels that append a 0 of their own.
        EXPECT_EQ (queued(), run (i, i == 0));
        consume();
        EXPECT_EQ (pictureOf (panel()), lit (i == segmentCount - 1 ? segmentCount : i));

        deviceLevel (thresholds[(size_t)i] - 1);
        produce();
        EXPECT_EQ (queued(), i == 0 ? std::vector<int>{ 0 } : run (i - 1));
        consume();
        EXPECT_EQ (pictureOf (panel()), lit (std::max (i - 1, 0)));
    }
}

TEST_F (MeterTest, AListNotYetDrawnHoldsTheNextPassBack)
{
    queueListFor (100, 5000);
    ASSERT_EQ (queued(), run (6));

    deviceLevel (65535);
    produce();
    EXPECT_EQ (log().lines(), std::vector<std::string>{});
    EXPECT_EQ (queued(), run (6));
    EXPECT_FALSE (consumer().isTimerRunning());

    consume();
    EXPECT_EQ (pictureOf (panel()), lit (6));

    produce();
    EXPECT_EQ (queued(), run (23));
    consume();
    EXPECT_EQ (pictureOf (panel()), lit (24));
}

// MyTimer darkens the meter at gain 0 whether or not it found a list, and with no list it leaves the
// picture alone at any other gain.
TEST_F (MeterTest, GainZeroDarkensTheMeterEvenRightAfterDrawingAList)
{
    draw (100, 29204);
    ASSERT_EQ (pictureOf (panel()), lit (22));
    consume();
    EXPECT_EQ (log().lines(), std::vector<std::string>{});
    EXPECT_EQ (pictureOf (panel()), lit (22));

    queueListFor (100, 5000);
    setGain (0);
    consume();
    EXPECT_EQ (log().lines(), drawLines (run (6)));
    EXPECT_EQ (pictureOf (panel()), lit (0));
}

TEST_F (MeterTest, WhileMutedEveryTickDarkensTheMeterAndLeavesTheQueueAlone)
{
    queueListFor (100, 5000);
    toggleMute();
    ASSERT_TRUE (panel().muted);
    setPicture (panel(), lit (segmentCount));

    produce();
    EXPECT_EQ (log().lines(), std::vector<std::string>{});
    EXPECT_EQ (pictureOf (panel()), lit (0));
    EXPECT_EQ (queued(), run (6)) << "the pending list stays";
    EXPECT_FALSE (consumer().isTimerRunning());

    // The pending list is drawn all the same; the next tick darkens the meter again.
    consume();
    EXPECT_EQ (pictureOf (panel()), lit (6));
    deviceLevel (65535);
    for (int tick = 0; tick < 3; ++tick)
    {
        SCOPED_TRACE ("tick " + std::to_string (tick));
        setPicture (panel(), lit (segmentCount));
        produce();
        EXPECT_EQ (log().lines(), std::vector<std::string>{});
        EXPECT_EQ (pictureOf (panel()), lit (0));
        EXPECT_TRUE (segmentQueue().empty());
        EXPECT_FALSE (consumer().isTimerRunning());
    }

    toggleMute();
    ASSERT_FALSE (panel().muted);
    produce();
    EXPECT_EQ (log().lines(), passLines (65535, { 32800 }, false, false, 23));
    EXPECT_EQ (queued(), run (23));
    consume();
    EXPECT_EQ (pictureOf (panel()), lit (24));
}

// While no device answers the heartbeat, the meter stands as it was, muted or not: a heartbeat of -1
// from a heartbeat query that fails, of 1 from one that goes out empty. The level read after it
// still succeeds, with a level that a pass would light every segment for.
TEST_F (MeterTest, WhileTheHeartbeatFailsThePictureStands)
{
    struct Failure
    {
        const char* name;
        int heartbeat;
        bool muted;
    };
    for (const auto& f :
         { Failure{ "heartbeat reply empty", 1, false }, Failure{ "heartbeat reply empty, muted", 1, true },
           Failure{ "heartbeat query failed", -1, false }, Failure{ "heartbeat query failed, muted", -1, true } })
    {
        SCOPED_TRACE (f.name);
        draw (100, 5000);
        ASSERT_EQ (pictureOf (panel()), lit (6));
        if (f.muted)
            toggleMute();

        model().setInputLevel (65535);
        if (f.heartbeat == -1)
            model().failTransfer();
        else
            model().completeEmpty();
        panel().pollDevice();
        ASSERT_EQ (panel().heartbeat, f.heartbeat);
        ASSERT_EQ (panel().inputLevel, 65535u);

        for (int tick = 0; tick < 3; ++tick)
        {
            SCOPED_TRACE ("tick " + std::to_string (tick));
            produce();
            EXPECT_EQ (log().lines(), std::vector<std::string>{});
            EXPECT_TRUE (segmentQueue().empty());
            EXPECT_FALSE (consumer().isTimerRunning());
            EXPECT_EQ (pictureOf (panel()), lit (6));
        }

        // Answering again, for the next case.
        if (f.muted)
            toggleMute();
        model().setInputLevel (5000);
        panel().pollDevice();
        ASSERT_NE (panel().heartbeat, -1);
        ASSERT_NE (panel().heartbeat, 1);
    }
}

// The painted meter, pixel by pixel: each bar's whole 6 x 28 pixels in the segment's own colour
// where it is lit and in the cover's white where it is dark, and nothing of the meter in the
// columns and rows about the bar (the panel draws no background: they stay transparent).
void expectPaintedMeter (BackgroundComponent& panel, int litCount)
{
    const auto snapshot = panel.createComponentSnapshot (panel.getLocalBounds(), true, 1.0f);
    const juce::Colour green (30, 255, 0), orange (255, 143, 31), red (255, 0, 0), white (255, 255, 255);
    for (int i = 0; i < segmentCount; ++i)
    {
        SCOPED_TRACE ("segment " + std::to_string (i) + (i < litCount ? ", lit" : ", dark"));
        const auto expected = i >= litCount ? white : (i < 18 ? green : (i < 22 ? orange : red));
        const juce::Rectangle<int> bar (108 + 19 * i, 90, 6, 28);
        int wrong = 0;
        for (int y = bar.getY() - 1; y <= bar.getBottom(); ++y)
            for (int x = bar.getX() - 1; x <= bar.getRight(); ++x)
            {
                const auto pixel = snapshot.getPixelAt (x, y);
                const bool inBar = bar.contains (x, y);
                const bool ok = inBar
                                    ? (std::abs (pixel.getRed() - expected.getRed()) <= 2 &&
                                       std::abs (pixel.getGreen() - expected.getGreen()) <= 2 &&
                                       std::abs (pixel.getBlue() - expected.getBlue()) <= 2 && pixel.getAlpha() == 255)
                                    : pixel.getAlpha() == 0;
                if (!ok && ++wrong <= 4)
                    ADD_FAILURE() << (inBar ? "in the bar" : "beside the bar") << " at (" << x << ", " << y
                                  << "): " << pixel.toDisplayString (true);
            }
        EXPECT_EQ (wrong, 0);
    }
}

// Each segment shows exactly its bar: the 7-pixel-wide cover, drawn unscaled in a button of the
// bar's size, covers the bar's top and bottom rows too, and nothing right of it.
TEST_F (MeterTest, ADarkSegmentIsWhiteOverExactlyItsBarAndALitOneIsItsOwnColour)
{
    struct Picture
    {
        unsigned int level;
        int litCount;
    };
    // At full gain: every segment dark, every colour lit with an orange and the reds dark, all lit.
    for (const auto& picture : { Picture{ 2318, 0 }, Picture{ 26028, 21 }, Picture{ 65535, segmentCount } })
    {
        SCOPED_TRACE ("level " + std::to_string (picture.level));
        draw (100, picture.level);
        ASSERT_EQ (pictureOf (panel()), lit (picture.litCount));
        expectPaintedMeter (panel(), picture.litCount);
    }
}

// Runs the message loop until the meter shows the picture, within a bound no loaded machine reaches.
bool settlesOn (BackgroundComponent& panel, const std::string& picture)
{
    return runMessageLoopUntil ([&] { return pictureOf (panel) == picture; }, 10000, 20);
}

// The running timers: the heartbeat reads the device's level, and the meter follows it.
TEST_F (PanelTest, TheRunningMeterFollowsTheDevicesLevel)
{
    auto& p = makePanel();
    showOnDesktop();
    setGain (p, 100);

    struct Step
    {
        unsigned int level;
        int litCount;
    };
    for (const auto& step : { Step{ 26028, 21 }, Step{ 65535, 24 }, Step{ 5000, 6 } })
    {
        SCOPED_TRACE ("level " + std::to_string (step.level));
        model().setInputLevel (step.level);
        ASSERT_TRUE (settlesOn (p, lit (step.litCount))) << pictureOf (p);
        expectPaintedMeter (p, step.litCount);
    }
}
} // namespace
