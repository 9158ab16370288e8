// The four sliders against the virtual KT-Q7TR: their values in device units, the values they queue
// during real mouse gestures on the panel's window, and how the 10 ms pacer hands the queued values
// to the device: one per queue per tick, in the order gain, noise-reduction level, depth, time, held
// back while muted or while no device answers. Where a case is about one tick's logic the tick is
// called by hand on a stopped timer; where it is about pacing, only order and bounds are asserted.
#include "PanelTest.h"
#include "PollUntil.h"

#include "CommandFrame.h"
#include "Wire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace zarvo;
using namespace zarvo::test;
using Bytes = MicrophoneModel::Bytes;
using Lines = std::vector<std::string>;

namespace
{
// ---- what the device received

struct Parameter
{
    unsigned char groupId;
    unsigned char index;
};

constexpr Parameter gainParameter{ group::microphone, param::gain };
constexpr Parameter noiseLevelParameter{ group::noiseReduction, param::noiseLevel };
constexpr Parameter depthParameter{ group::reverb, param::reverbDepth };
constexpr Parameter timeParameter{ group::reverb, param::reverbTime };

// One set frame as the device received it; the value is the 16-bit word read as signed.
struct SetFrame
{
    unsigned char groupId;
    unsigned char index;
    int value;

    bool operator== (const SetFrame& other) const
    {
        return groupId == other.groupId && index == other.index && value == other.value;
    }
};

std::ostream& operator<< (std::ostream& out, const SetFrame& frame)
{
    return out << "set " << std::hex << int (frame.groupId) << "/" << int (frame.index) << std::dec << " = "
               << frame.value;
}

SetFrame setOf (Parameter p, int value)
{
    return { p.groupId, p.index, value };
}

bool isSliderParameter (unsigned char groupId, unsigned char index)
{
    for (const auto p : { gainParameter, noiseLevelParameter, depthParameter, timeParameter })
        if (p.groupId == groupId && p.index == index)
            return true;
    return false;
}

// The set frames of the four slider parameters, in the order they reached the device.
std::vector<SetFrame> sliderFramesSent (const MicrophoneModel& model)
{
    std::vector<SetFrame> frames;
    for (const auto& r : model.receivedReports())
        if (r.size() > 8 && r[1] == 0xA5 && r[2] == 0x5A && r[4] == 3 && isSliderParameter (r[3], r[5]))
            frames.push_back ({ r[3], r[5], static_cast<int16_t> (r[6] | (r[7] << 8)) });
    return frames;
}

std::vector<int> valuesSent (const MicrophoneModel& model, Parameter p)
{
    std::vector<int> values;
    for (const auto& frame : sliderFramesSent (model))
        if (frame.groupId == p.groupId && frame.index == p.index)
            values.push_back (frame.value);
    return values;
}

bool received (const MicrophoneModel& model, const Bytes& report)
{
    const auto reports = model.receivedReports();
    return std::find (reports.begin(), reports.end(), report) != reports.end();
}

Bytes queryOf (unsigned char groupId)
{
    return reportOf ({ 0x00, 0xA5, 0x5A, groupId, 0x00, 0x16 });
}

// ---- the log

long countOf (const Lines& lines, const std::string& line)
{
    return std::count (lines.begin(), lines.end(), line);
}

long countStartingWith (const Lines& lines, const std::string& start)
{
    return std::count_if (lines.begin(), lines.end(),
                          [&] (const std::string& line) { return line.rfind (start, 0) == 0; });
}

// How the panel writes a 32-bit value marked unsigned: negative levels as 2^32 plus the level.
std::string unsignedText (int value)
{
    return std::to_string (value < 0 ? 4294967296LL + value : static_cast<long long> (value));
}

// The six decimals "%f" gives v / 100.
std::string fractionText (int v)
{
    const std::string hundredths = std::to_string (100 + v % 100).substr (1);
    return std::to_string (v / 100) + "." + hundredths + "0000";
}

// The lines of a pacer tick while a device answers, around the lines of what it drained.
Lines tickLines (int heartbeat, const Lines& drained)
{
    Lines lines{ "ZarvoTimer is running...", "run!!!!!!!0",
                 "before sleep!!!!!!!",      "before02 sleep!!!!!!!" + std::to_string (heartbeat),
                 "else sleep!!!!!!!",        "ZarvoThread m_isruning is running..." };
    lines.insert (lines.end(), drained.begin(), drained.end());
    lines.push_back ("end sleep!!!!!!!");
    return lines;
}

// The lines of a tick while the last heartbeat says that no device answers.
Lines idleTickLines (int heartbeat)
{
    return { "ZarvoTimer is running...",
             "run!!!!!!!0",
             "before sleep!!!!!!!",
             "before02 sleep!!!!!!!" + std::to_string (heartbeat),
             "sleep!!!!!!!",
             "end sleep!!!!!!!" };
}

const std::string separator = "==============================="; // 31
const std::string timerStopLine = "====ReverbsliderDragEnded: 3Queue is Empty.  myTimer stop.";

// ---- the message loop

void pump (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

double now()
{
    return juce::Time::getMillisecondCounterHiRes();
}

class SliderTest : public PanelTest
{
protected:
    // The panel in a window, settled: the synchronisation's value notifications are delivered and
    // the first paint has enabled the sliders of the effects that are on.
    BackgroundComponent& makeShownPanel()
    {
        auto& p = makePanel();
        showOnDesktop();
        EXPECT_TRUE (runMessageLoopUntil ([&] { return settled (p); })) << "the panel never settled";
        return p;
    }

    static bool settled (BackgroundComponent& p)
    {
        const auto shows = [] (juce::Slider& slider, juce::Label& label)
        { return label.getText() == juce::String (static_cast<int> (slider.getValue())); };
        return shows (p.gainSlider, p.gainValueLabel) && shows (p.noiseSlider, p.noiseValueLabel) &&
               shows (p.reverbDepthSlider, p.reverbDepthValueLabel) &&
               shows (p.reverbTimeSlider, p.reverbTimeValueLabel) && p.muteImagesSet &&
               p.noiseSlider.isEnabled() == !p.noiseOff && p.reverbDepthSlider.isEnabled() == !p.reverbOff;
    }

    // Runs the message loop until the pacer has ticked twice more with a device answering: whatever
    // was queued before has had its chance to go out. The log keeps what came before.
    bool pacerTickedTwice()
    {
        const auto ticksBefore = countOf (log().lines(), "else sleep!!!!!!!");
        return runMessageLoopUntil ([&] { return countOf (log().lines(), "else sleep!!!!!!!") >= ticksBefore + 2; });
    }

    // Where a press lands on the slider's value (in the panel's coordinates).
    juce::Point<int> pointFor (juce::Slider& slider, int value)
    {
        return { slider.getX() + juce::roundToInt (slider.getPositionOfValue (value)),
                 slider.getBounds().getCentreY() };
    }

    // A gesture on a slider: pressed where its thumb is, moved with the button down, released
    // where it was last moved to.
    void startDrag (juce::Slider& slider) { press (pointFor (slider, static_cast<int> (slider.getValue()))); }
    void moveTo (juce::Slider& slider, int value) { mouseEvent (pointFor (slider, value), true); }
    void endDrag (juce::Slider& slider) { release (pointFor (slider, static_cast<int> (slider.getValue()))); }

    void emptyQueues (BackgroundComponent& p)
    {
        for (auto* queue : { p.gainDeque, p.noiseDeque, p.reverbDepthDeque, p.reverbTimeDeque })
            queue->clear();
    }

    bool queuesEmpty (BackgroundComponent& p)
    {
        return p.gainDeque->empty() && p.noiseDeque->empty() && p.reverbDepthDeque->empty() &&
               p.reverbTimeDeque->empty();
    }
};

// ---- device units

struct SliderRow
{
    const char* name;
    juce::Slider BackgroundComponent::*slider;
    juce::Label BackgroundComponent::*label;
    int BackgroundComponent::*stored;
    std::function<int (int)> units;
    std::function<Lines (int)> lines;
};

std::vector<SliderRow> sliderRows()
{
    return {
        { "gain", &BackgroundComponent::gainSlider, &BackgroundComponent::gainValueLabel,
          &BackgroundComponent::gainValue, [] (int v) { return v * 4096 / 100; },
          [] (int v) -> Lines {
              return { "gainSliderValue: " + std::to_string (v), "gainSliderValue / 100: " + fractionText (v) };
          } },
        { "noise", &BackgroundComponent::noiseSlider, &BackgroundComponent::noiseValueLabel,
          &BackgroundComponent::noiseValue, [] (int v) { return (v - 100) * 90; },
          [] (int v) -> Lines { return { "==NoiseSliderValue : " + unsignedText ((v - 100) * 90) }; } },
        { "depth", &BackgroundComponent::reverbDepthSlider, &BackgroundComponent::reverbDepthValueLabel,
          &BackgroundComponent::reverbDepthValue, [] (int v) { return v * 3; },
          [] (int v) -> Lines { return { "====ReverbSliderValue : " + std::to_string (v * 3) }; } },
        { "time", &BackgroundComponent::reverbTimeSlider, &BackgroundComponent::reverbTimeValueLabel,
          &BackgroundComponent::reverbTimeValue, [] (int v) { return v; }, [] (int) -> Lines { return {}; } },
    };
}
} // namespace

TEST_F (SliderTest, EverySliderValueGivesItsDeviceUnitsLabelAndLinesAndQueuesNothing)
{
    auto& p = makePanel();
    for (const auto& row : sliderRows())
    {
        auto& slider = p.*(row.slider);
        for (int v = 0; v <= 100; ++v)
        {
            SCOPED_TRACE (std::string (row.name) + " at " + std::to_string (v));
            slider.setValue (v, juce::dontSendNotification);
            log().clear();

            p.sliderValueChanged (&slider);

            EXPECT_EQ (p.*(row.stored), row.units (v));
            EXPECT_EQ ((p.*(row.label)).getText().toStdString(), std::to_string (v));
            EXPECT_EQ (log().lines(), row.lines (v));
            if (&slider == &p.gainSlider)
            {
                EXPECT_FLOAT_EQ (p.gainFraction, static_cast<float> (v) / 100.0f);
            }
        }
    }

    // Some of them written out.
    auto linesAt = [&] (juce::Slider& slider, int v)
    {
        slider.setValue (v, juce::dontSendNotification);
        log().clear();
        p.sliderValueChanged (&slider);
        return log().lines();
    };
    EXPECT_EQ (linesAt (p.gainSlider, 65), (Lines{ "gainSliderValue: 65", "gainSliderValue / 100: 0.650000" }));
    EXPECT_EQ (p.gainValue, 2662);
    EXPECT_EQ (linesAt (p.gainSlider, 100), (Lines{ "gainSliderValue: 100", "gainSliderValue / 100: 1.000000" }));
    EXPECT_EQ (p.gainValue, 4096);
    EXPECT_EQ (linesAt (p.noiseSlider, 0), (Lines{ "==NoiseSliderValue : 4294958296" }));
    EXPECT_EQ (p.noiseValue, -9000);
    EXPECT_EQ (linesAt (p.noiseSlider, 78), (Lines{ "==NoiseSliderValue : 4294965316" }));
    EXPECT_EQ (p.noiseValue, -1980);

    EXPECT_TRUE (queuesEmpty (p));
}

TEST_F (SliderTest, SlidersSetFromCodeUpdateLabelsAndValuesButNothingReachesTheDevice)
{
    model().setParameter (group::microphone, param::gain, 1638); // reads back as 40
    model().setParameter (group::noiseReduction, param::noiseLevel, -4500);
    model().setParameter (group::reverb, param::reverbDepth, 150);
    model().setParameter (group::reverb, param::reverbTime, 30);
    model().setParameter (group::noiseReduction, param::noiseOn, 1);
    model().setParameter (group::reverb, param::reverbOn, 1);

    // The synchronisation sets the sliders with asynchronous notifications; the pacer runs.
    auto& p = makePanel();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return p.reverbTimeValueLabel.getText() == "30"; }));
    ASSERT_TRUE (pacerTickedTwice());

    EXPECT_EQ (p.gainValueLabel.getText(), "40");
    EXPECT_EQ (p.noiseValueLabel.getText(), "50");
    EXPECT_EQ (p.reverbDepthValueLabel.getText(), "50");
    EXPECT_EQ (p.reverbTimeValueLabel.getText(), "30");
    EXPECT_EQ (p.gainValue, 1638);
    EXPECT_FLOAT_EQ (p.gainFraction, 0.4f);
    EXPECT_EQ (p.noiseValue, -4500);
    EXPECT_EQ (p.reverbDepthValue, 150);
    EXPECT_EQ (p.reverbTimeValue, 30);

    // And with synchronous notifications, as a listener sees any value set by code.
    p.gainSlider.setValue (10, juce::sendNotificationSync);
    p.noiseSlider.setValue (20, juce::sendNotificationSync);
    p.reverbDepthSlider.setValue (30, juce::sendNotificationSync);
    p.reverbTimeSlider.setValue (40, juce::sendNotificationSync);
    EXPECT_EQ (p.gainValue, 409);
    EXPECT_EQ (p.noiseValue, -7200);
    EXPECT_EQ (p.reverbDepthValue, 90);
    EXPECT_EQ (p.reverbTimeValue, 40);
    ASSERT_TRUE (pacerTickedTwice());

    EXPECT_TRUE (queuesEmpty (p));
    EXPECT_EQ (sliderFramesSent (model()), std::vector<SetFrame>{});
    EXPECT_FALSE (p.myTimer->isTimerRunning());
}

// ---- gestures

TEST_F (SliderTest, AClickThatDoesNotMoveASliderQueuesItsValueTwiceAndBothReachTheDevice)
{
    model().setParameter (group::microphone, param::gain, 2048); // reads back as 51
    model().setParameter (group::noiseReduction, param::noiseOn, 1);
    model().setParameter (group::reverb, param::reverbOn, 1);
    auto& p = makeShownPanel();

    struct ClickCase
    {
        const char* name;
        juce::Slider& slider;
        std::deque<int>* queue;
        Parameter parameter;
        int value;
        Lines lines;
    };
    const std::vector<ClickCase> cases = {
        { "gain",
          p.gainSlider,
          p.gainDeque,
          gainParameter,
          2088,
          { "Gain_silderDragStarted: 2088", "Gain_silderDragStarted: myTimer is running!",
            "GainsliderDragEnded: 2088 This data has been processed", timerStopLine } },
        { "noise",
          p.noiseSlider,
          p.noiseDeque,
          noiseLevelParameter,
          -1980,
          { "==Noise_silderDragStarted: 4294965316", "==Noise_silderDragStarted: myTimer is running!",
            "==NoisesliderDragEnded: 4294965316", timerStopLine } },
        { "depth",
          p.reverbDepthSlider,
          p.reverbDepthDeque,
          depthParameter,
          60,
          { "====Reverb_silderDragStarted: 60", "====Reverb_silderDragStarted: myTimer is running!",
            "====ReverbsliderDragEnded: 60", timerStopLine } },
        { "time",
          p.reverbTimeSlider,
          p.reverbTimeDeque,
          timeParameter,
          70,
          { "====Reverb_TimeSilderDragStarted: 70", "====Reverb_silderDragStarted: myTimer is running!",
            timerStopLine } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const double before = c.slider.getValue();
        model().clearRecord();
        log().clear();

        click (pointFor (c.slider, static_cast<int> (before)));

        ASSERT_EQ (c.slider.getValue(), before) << "the click moved the slider";
        EXPECT_EQ (log().lines(), c.lines);
        EXPECT_EQ (*c.queue, (std::deque<int>{ c.value, c.value }));
        EXPECT_FALSE (p.myTimer->isTimerRunning());

        // Each value goes out as the pacer takes it from the queue.
        ASSERT_TRUE (runMessageLoopUntil ([&] { return c.queue->empty(); }));
        EXPECT_EQ (sliderFramesSent (model()),
                   (std::vector<SetFrame>{ setOf (c.parameter, c.value), setOf (c.parameter, c.value) }));
        EXPECT_EQ (model().parameter (c.parameter.groupId, c.parameter.index), c.value);
    }
}

TEST_F (SliderTest, AGainDragSendsItsStartValueThePeriodicValuesAndItsEndValueInOrder)
{
    // Both effects off, as the device reports by default.
    auto& p = makeShownPanel();
    ASSERT_TRUE (p.noiseOff && p.reverbOff);
    ASSERT_EQ (p.gainSlider.getValue(), 65);
    model().clearRecord();
    log().clear();

    // About a second: from 65 to 90, a step every 40 ms.
    const double pressed = now();
    startDrag (p.gainSlider);
    for (int v = 66; v <= 90; ++v)
    {
        pump (40);
        moveTo (p.gainSlider, v);
    }
    pump (40);
    endDrag (p.gainSlider);
    const double dragMilliseconds = now() - pressed;
    ASSERT_EQ (p.gainSlider.getValue(), 90);
    EXPECT_FALSE (p.myTimer->isTimerRunning());

    ASSERT_TRUE (runMessageLoopUntil ([&] { return p.gainDeque->empty(); }));

    const auto gains = valuesSent (model(), gainParameter);
    ASSERT_GE (gains.size(), 2u);
    EXPECT_EQ (gains.front(), 2662);
    EXPECT_EQ (gains.back(), 3686);
    const auto periodic = std::vector<int> (gains.begin() + 1, gains.end() - 1);
    EXPECT_GE (periodic.size(), 1u);
    EXPECT_LE (static_cast<double> (periodic.size()), dragMilliseconds / 60.0 + 1.0)
        << "drag of " << dragMilliseconds << " ms";
    // Each periodic value is the stored value at its tick: the drag only went up.
    EXPECT_TRUE (std::is_sorted (gains.begin(), gains.end()));
    // Every value the timer pushed reached the device, and nothing else did.
    EXPECT_EQ (static_cast<long> (periodic.size()), countOf (log().lines(), "BackgroundTimer is running..."));
    EXPECT_EQ (valuesSent (model(), noiseLevelParameter), std::vector<int>{});
    EXPECT_EQ (sliderFramesSent (model()).size(), gains.size());
    EXPECT_EQ (countOf (log().lines(), "~~noiseDequeValue Put a piece of data into a Queue"), 0);
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 3686);
}

TEST_F (SliderTest, WhileMutedADragSendsNothingAndAfterUnmutingTheBacklogGoesOutOldestFirst)
{
    model().setParameter (group::noiseReduction, param::noiseOn, 1);
    auto& p = makeShownPanel();
    const auto muteCentre = p.muteButton.getBounds().getCentre();
    model().clearRecord();

    click (muteCentre);
    ASSERT_TRUE (p.muted);

    log().clear();
    startDrag (p.gainSlider);
    for (int v = 66; v <= 75; ++v)
    {
        pump (30);
        moveTo (p.gainSlider, v);
    }
    // Held until the periodic push has run at least twice, however slow the machine.
    ASSERT_TRUE (runMessageLoopUntil ([&] { return countOf (log().lines(), "BackgroundTimer is running...") >= 2; }));
    endDrag (p.gainSlider);
    log().clear();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return countOf (log().lines(), "end sleep!!!!!!!") >= 2; }));

    // The pacer held everything back, muted; the mute frame and the polls went out.
    EXPECT_EQ (sliderFramesSent (model()), std::vector<SetFrame>{});
    EXPECT_TRUE (received (model(), reportOf ({ 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x01, 0x01, 0x00, 0x16 })));
    EXPECT_TRUE (received (model(), queryOf (group::heartbeat)));
    EXPECT_TRUE (received (model(), queryOf (group::inputLevel)));

    const std::deque<int> gainBacklog = *p.gainDeque;
    const std::deque<int> noiseBacklog = *p.noiseDeque;
    ASSERT_GE (gainBacklog.size(), 4u); // start, two periodic, end
    EXPECT_EQ (gainBacklog.front(), 2662);
    EXPECT_EQ (gainBacklog.back(), 3072);
    EXPECT_GE (noiseBacklog.size(), 2u);
    for (const int level : noiseBacklog)
        EXPECT_EQ (level, -1980);

    // A muted tick writes its opening, the two lines of a device that answers and its end.
    p.zarvoTimer->stopTimer();
    log().clear();
    p.zarvoTimer->timerCallback();
    EXPECT_EQ (log().lines(), tickLines (p.heartbeat, {}));
    EXPECT_EQ (*p.gainDeque, gainBacklog);
    EXPECT_EQ (*p.noiseDeque, noiseBacklog);

    click (muteCentre);
    ASSERT_FALSE (p.muted);

    // One value per queue per tick, oldest first, gain before noise.
    const auto ticks = std::max (gainBacklog.size(), noiseBacklog.size());
    for (std::size_t i = 0; i < ticks; ++i)
    {
        SCOPED_TRACE ("tick " + std::to_string (i));
        model().clearRecord();
        p.zarvoTimer->timerCallback();
        std::vector<SetFrame> expected;
        if (i < gainBacklog.size())
            expected.push_back (setOf (gainParameter, gainBacklog[i]));
        if (i < noiseBacklog.size())
            expected.push_back (setOf (noiseLevelParameter, noiseBacklog[i]));
        EXPECT_EQ (sliderFramesSent (model()), expected);
    }
    EXPECT_TRUE (queuesEmpty (p));
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 3072);
    EXPECT_EQ (p.gainSlider.getValue(), 75);
}

TEST_F (SliderTest, ADepthDragEndingRightAfterItsLastMoveLeavesTheDeviceOnTheFinalValue)
{
    model().setParameter (group::reverb, param::reverbOn, 1);
    auto& p = makeShownPanel();
    ASSERT_FALSE (p.reverbOff);
    ASSERT_TRUE (p.reverbDepthSlider.isEnabled());
    ASSERT_EQ (p.reverbDepthSlider.getValue(), 20);
    model().clearRecord();
    log().clear();

    bool timeQueueStayedEmpty = true;
    startDrag (p.reverbDepthSlider);
    for (int v = 21; v <= 50; ++v)
    {
        moveTo (p.reverbDepthSlider, v);
        if (v == 50)
            break; // released before any timer can run
        pump (30);
        timeQueueStayedEmpty = timeQueueStayedEmpty && p.reverbTimeDeque->empty();
    }
    endDrag (p.reverbDepthSlider);
    ASSERT_EQ (p.reverbDepthSlider.getValue(), 50);
    EXPECT_EQ (p.reverbDepthDeque->back(), 150);

    // The drag's depth values went out while it lasted; the time slider's queue got none.
    EXPECT_TRUE (timeQueueStayedEmpty);
    const auto periodicPushes =
        countStartingWith (log().lines(), "important !!!!~~reverbDequeValue Put a piece of data into a Queue");
    EXPECT_GE (periodicPushes, 1);

    // After the release the final value still goes out, and the queue ends empty.
    EXPECT_TRUE (runMessageLoopUntil ([&] { return p.reverbDepthDeque->empty(); }))
        << p.reverbDepthDeque->size() << " depth values left in the queue";
    const auto depths = valuesSent (model(), depthParameter);
    ASSERT_FALSE (depths.empty());
    EXPECT_EQ (depths.front(), 60);
    EXPECT_EQ (depths.back(), 150);
    EXPECT_EQ (static_cast<long> (depths.size()), periodicPushes + 2);
    EXPECT_EQ (model().parameter (group::reverb, param::reverbDepth), 150);
    EXPECT_EQ (valuesSent (model(), timeParameter), std::vector<int>{});
    EXPECT_TRUE (p.reverbTimeDeque->empty());
}

TEST_F (SliderTest, AHeldDepthOrTimeDragSendsItsStoredValueEvery60MsBeforeTheRelease)
{
    model().setParameter (group::reverb, param::reverbOn, 1);
    auto& p = makeShownPanel();
    ASSERT_FALSE (p.reverbOff);

    struct HeldDrag
    {
        const char* name;
        juce::Slider& slider;
        Parameter parameter;
        std::function<int (int)> units;
    };
    const HeldDrag drags[] = {
        { "depth", p.reverbDepthSlider, depthParameter, [] (int v) { return v * 3; } },
        { "time", p.reverbTimeSlider, timeParameter, [] (int v) { return v; } },
    };
    for (const auto& drag : drags)
    {
        SCOPED_TRACE (drag.name);
        const int start = static_cast<int> (drag.slider.getValue());
        model().clearRecord();

        startDrag (drag.slider);
        moveTo (drag.slider, start + 5);
        // Held still until a value besides the drag start's has reached the device.
        ASSERT_TRUE (runMessageLoopUntil ([&] { return valuesSent (model(), drag.parameter).size() >= 2; }))
            << "nothing but the drag start's value went out while the drag was held";
        const auto beforeRelease = valuesSent (model(), drag.parameter);
        endDrag (drag.slider);

        EXPECT_EQ (beforeRelease[0], drag.units (start));
        // What the push took is the value the slider was moved to.
        for (std::size_t i = 1; i < beforeRelease.size(); ++i)
            EXPECT_EQ (beforeRelease[i], drag.units (start + 5));
        ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));
        EXPECT_EQ (model().parameter (drag.parameter.groupId, drag.parameter.index), drag.units (start + 5));
    }
}

TEST_F (SliderTest, OnceADepthOrTimeDragHasEndedADragOfAnotherSliderPushesNoDepthOrTimeValues)
{
    model().setParameter (group::reverb, param::reverbOn, 1);
    auto& p = makeShownPanel();
    ASSERT_FALSE (p.reverbOff);

    for (auto* slider : { &p.reverbDepthSlider, &p.reverbTimeSlider })
    {
        SCOPED_TRACE (slider == &p.reverbDepthSlider ? "after a depth drag" : "after a time drag");
        // A drag long enough for the periodic push, then its values out.
        log().clear();
        startDrag (*slider);
        moveTo (*slider, static_cast<int> (slider->getValue()) + 3);
        ASSERT_TRUE (
            runMessageLoopUntil ([&] { return countOf (log().lines(), "BackgroundTimer is running...") >= 1; }));
        endDrag (*slider);
        ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));

        // The gain slider, held until the push has run three times.
        model().clearRecord();
        log().clear();
        startDrag (p.gainSlider);
        moveTo (p.gainSlider, static_cast<int> (p.gainSlider.getValue()) + 2);
        ASSERT_TRUE (
            runMessageLoopUntil ([&] { return countOf (log().lines(), "BackgroundTimer is running...") >= 3; }));
        endDrag (p.gainSlider);
        ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));

        EXPECT_GE (valuesSent (model(), gainParameter).size(), 5u); // start, three pushes, end
        EXPECT_EQ (valuesSent (model(), depthParameter), std::vector<int>{});
        EXPECT_EQ (valuesSent (model(), timeParameter), std::vector<int>{});
        EXPECT_EQ (countStartingWith (log().lines(), "important !!!!~~reverbDequeValue"), 0);
    }
}

TEST_F (SliderTest, ThePushTimerRunsFromTheFirstDragStartToTheDragEndThatLeavesNoSliderDragged)
{
    // Two drags overlapping, as no single pointer can make them.
    auto& p = makePanel();
    p.gainSlider.setValue (50, juce::dontSendNotification);
    p.reverbDepthSlider.setValue (10, juce::dontSendNotification);
    log().clear();

    p.sliderDragStarted (&p.gainSlider);
    ASSERT_TRUE (p.myTimer->isTimerRunning());
    EXPECT_EQ (p.myTimer->getTimerInterval(), 60);
    p.sliderDragStarted (&p.reverbDepthSlider);
    EXPECT_EQ (log().lines(), (Lines{ "Gain_silderDragStarted: 2048", "Gain_silderDragStarted: myTimer is running!",
                                      "====Reverb_silderDragStarted: 30" }));

    log().clear();
    p.sliderDragEnded (&p.gainSlider);
    EXPECT_TRUE (p.myTimer->isTimerRunning());
    EXPECT_EQ (log().lines(), (Lines{ "GainsliderDragEnded: 2048 This data has been processed" }));

    log().clear();
    p.sliderDragEnded (&p.reverbDepthSlider);
    EXPECT_FALSE (p.myTimer->isTimerRunning());
    EXPECT_EQ (log().lines(), (Lines{ "====ReverbsliderDragEnded: 30", timerStopLine }));
    EXPECT_EQ (*p.gainDeque, (std::deque<int>{ 2048, 2048 }));
    EXPECT_EQ (*p.reverbDepthDeque, (std::deque<int>{ 30, 30 }));

    // A slider of no row changes no value, and the end of its gesture still finds nothing dragged.
    juce::Slider stranger;
    stranger.setRange (0, 100, 1);
    stranger.setValue (90, juce::dontSendNotification);
    log().clear();
    p.sliderDragStarted (&stranger);
    p.sliderValueChanged (&stranger);
    p.sliderDragEnded (&stranger);
    EXPECT_EQ (log().lines(), (Lines{ timerStopLine }));
    EXPECT_EQ (p.gainValue, 2048);
    EXPECT_EQ (p.reverbDepthValue, 30);
    EXPECT_EQ (p.gainDeque->size() + p.reverbDepthDeque->size(), 4u);
    EXPECT_TRUE (p.noiseDeque->empty() && p.reverbTimeDeque->empty());
}

// ---- resynchronisation

namespace
{
// A slider as the resynchronisation sees it: where the device's value reads back, and what the
// pacer writes when it sends one of its values (nothing for the time).
struct ResyncRow
{
    const char* name;
    juce::Slider BackgroundComponent::*slider;
    juce::Label BackgroundComponent::*label;
    std::deque<int>* BackgroundComponent::*queue;
    Parameter parameter;
    int draggedTo;
    std::function<int (int raw)> readBack;
    const char* sentLine;
};

std::vector<ResyncRow> resyncRows()
{
    return {
        { "gain", &BackgroundComponent::gainSlider, &BackgroundComponent::gainValueLabel,
          &BackgroundComponent::gainDeque, gainParameter, 9,
          [] (int raw) { return gainPercentFromRaw (static_cast<unsigned int> (raw)); }, "Thread deque Gain value: " },
        { "noise-reduction level", &BackgroundComponent::noiseSlider, &BackgroundComponent::noiseValueLabel,
          &BackgroundComponent::noiseDeque, noiseLevelParameter, 30,
          [] (int raw) { return noiseLevelFromRaw (static_cast<int16_t> (raw)); }, "Thread deque Noise value: " },
        { "reverberation depth", &BackgroundComponent::reverbDepthSlider, &BackgroundComponent::reverbDepthValueLabel,
          &BackgroundComponent::reverbDepthDeque, depthParameter, 50,
          [] (int raw) { return reverbDepthFromRaw (static_cast<unsigned int> (raw)); },
          "====Reverb Pre-processing data sent to HID: " },
        { "reverberation time", &BackgroundComponent::reverbTimeSlider, &BackgroundComponent::reverbTimeValueLabel,
          &BackgroundComponent::reverbTimeDeque, timeParameter, 40, [] (int raw) { return raw; }, nullptr },
    };
}

// The position just after the last of the seven factory-default frames, where the read-back begins.
std::size_t afterTheFactoryDefaults (const std::vector<Bytes>& reports)
{
    const auto lastDefault = reportOf ({ 0x00, 0xA5, 0x5A, 0x82, 0x03, 0x04, 0x46, 0x00, 0x16 });
    const auto found = std::find (reports.begin(), reports.end(), lastDefault);
    return found == reports.end() ? reports.size() : static_cast<std::size_t> (found - reports.begin()) + 1;
}
} // namespace

TEST_F (SliderTest, WhatAMutedDragQueuedBeforeAFactoryResetNeverGoesOutOverTheStateReadBack)
{
    for (const auto& row : resyncRows())
    {
        SCOPED_TRACE (row.name);
        // Both effects on, so that every slider takes the mouse; the reset switches them off.
        model().setParameter (group::noiseReduction, param::noiseOn, 1);
        model().setParameter (group::reverb, param::reverbOn, 1);
        auto& p = makeShownPanel();
        auto& slider = p.*(row.slider);
        auto& queue = *(p.*(row.queue));
        click (p.muteButton.getBounds().getCentre());
        ASSERT_TRUE (p.muted);

        // Muted, the drag's values wait in the queue, the periodic ones among them.
        log().clear();
        startDrag (slider);
        moveTo (slider, row.draggedTo);
        ASSERT_TRUE (
            runMessageLoopUntil ([&] { return countOf (log().lines(), "BackgroundTimer is running...") >= 2; }));
        endDrag (slider);
        ASSERT_EQ (static_cast<int> (slider.getValue()), row.draggedTo);
        ASSERT_GE (queue.size(), 3u);

        model().clearRecord();
        log().clear();
        p.infoPanel.requestReset();
        ASSERT_TRUE (runMessageLoopUntil ([&] { return p.infoPanel.getResetRequested() == 0; }));
        // Past the read-back: its values shown, and the pacer, unmuted by it, ticking again since.
        ASSERT_FALSE (p.muted);
        ASSERT_TRUE (runMessageLoopUntil ([&] { return settled (p); }));
        ASSERT_TRUE (pacerTickedTwice());

        const auto reports = model().receivedReports();
        const auto readBack = afterTheFactoryDefaults (reports);
        ASSERT_LT (readBack, reports.size()) << "the factory defaults never reached the device";
        for (auto r = reports.begin() + static_cast<long> (readBack); r != reports.end(); ++r)
        {
            EXPECT_LT (wire::setValue (*r, row.parameter.groupId, row.parameter.index), 0)
                << "a queued value went out after the read-back: " << wire::describe (*r);
        }
        if (row.sentLine != nullptr)
        {
            EXPECT_EQ (countStartingWith (log().lines(), row.sentLine), 0);
        }
        EXPECT_TRUE (queuesEmpty (p));

        // The window and the microphone agree.
        const int shown = (p.*(row.label)).getText().getIntValue();
        EXPECT_EQ (shown, static_cast<int> (slider.getValue()));
        EXPECT_EQ (row.readBack (model().parameter (row.parameter.groupId, row.parameter.index)), shown);
        EXPECT_NE (shown, row.draggedTo);
    }
}

TEST_F (SliderTest, AGainDragHeldAcrossARemovalAndAnArrivalEndsWithGainAndNoiseLevelOnTheirLabels)
{
    model().setParameter (group::noiseReduction, param::noiseOn, 1);
    auto& p = makeShownPanel();
    ASSERT_FALSE (p.noiseOff);

    startDrag (p.gainSlider);
    moveTo (p.gainSlider, 30);
    log().clear();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return countOf (log().lines(), "BackgroundTimer is running...") >= 1; }));

    // Unplugged with the drag held: the pacer takes nothing while no device answers, and the pushes
    // pile up.
    microphone().vanish();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return p.heartbeat == -1 && p.noDeviceMask.isVisible(); }));
    log().clear();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return countOf (log().lines(), "BackgroundTimer is running...") >= 2; }));
    ASSERT_FALSE (p.gainDeque->empty());
    ASSERT_FALSE (p.noiseDeque->empty());
    ASSERT_TRUE (p.gainDragging);

    // Plugged in again, set elsewhere meanwhile: the arrival reads gain 40 and level 50 back.
    model().setParameter (group::microphone, param::gain, 1638);
    model().setParameter (group::noiseReduction, param::noiseLevel, -4500);
    microphone().comeBack();
    model().clearRecord();
    deliverDeviceChange (false);
    EXPECT_EQ (p.gainSlider.getValue(), 40);
    EXPECT_EQ (p.noiseSlider.getValue(), 50);
    // A push of the held drag that comes before the value notifications.
    p.myTimer->timerCallback();
    endDrag (p.gainSlider);
    EXPECT_FALSE (p.gainDragging);

    ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p) && p.heartbeat != -1; }));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return settled (p); }));
    ASSERT_TRUE (pacerTickedTwice());
    EXPECT_EQ (p.gainValueLabel.getText(), "40");
    EXPECT_EQ (p.noiseValueLabel.getText(), "50");
    // What went out since the arrival is the state read back: the later pushes and the drag's end.
    const auto gains = valuesSent (model(), gainParameter);
    const auto levels = valuesSent (model(), noiseLevelParameter);
    ASSERT_GE (gains.size(), 2u);
    ASSERT_GE (levels.size(), 1u);
    EXPECT_EQ (gains, std::vector<int> (gains.size(), 1638));
    EXPECT_EQ (levels, std::vector<int> (levels.size(), -4500));
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 1638);
    EXPECT_EQ (model().parameter (group::noiseReduction, param::noiseLevel), -4500);
}

// ---- keyboard steps

namespace
{
const juce::KeyPress rightKey (juce::KeyPress::rightKey), leftKey (juce::KeyPress::leftKey),
    upKey (juce::KeyPress::upKey), downKey (juce::KeyPress::downKey);

int stepOf (const juce::KeyPress& key)
{
    return key == rightKey || key == upKey ? 1 : -1;
}

// What a slider's gesture writes: its drag start, the timer's start, its value change and its drag end.
struct GestureLog
{
    std::function<std::string (int units)> started;
    std::string timerStarted;
    std::function<Lines (int units)> ended;
};

struct KeyRow
{
    const char* name;
    juce::Slider BackgroundComponent::*slider;
    juce::Label BackgroundComponent::*label;
    Parameter parameter;
    std::function<int (int)> units;
    std::function<Lines (int)> valueLines;
    GestureLog gesture;
};

std::vector<KeyRow> keyRows()
{
    const auto rows = sliderRows();
    const auto unsignedLine = [] (std::string text)
    { return [text] (int units) { return text + unsignedText (units); }; };
    const std::string reverbTimer = "====Reverb_silderDragStarted: myTimer is running!";
    return {
        { "gain",
          rows[0].slider,
          rows[0].label,
          gainParameter,
          rows[0].units,
          rows[0].lines,
          { unsignedLine ("Gain_silderDragStarted: "), "Gain_silderDragStarted: myTimer is running!",
            [] (int units) -> Lines
            { return { "GainsliderDragEnded: " + unsignedText (units) + " This data has been processed" }; } } },
        { "noise",
          rows[1].slider,
          rows[1].label,
          noiseLevelParameter,
          rows[1].units,
          rows[1].lines,
          { unsignedLine ("==Noise_silderDragStarted: "), "==Noise_silderDragStarted: myTimer is running!",
            [] (int units) -> Lines { return { "==NoisesliderDragEnded: " + unsignedText (units) }; } } },
        { "depth",
          rows[2].slider,
          rows[2].label,
          depthParameter,
          rows[2].units,
          rows[2].lines,
          { unsignedLine ("====Reverb_silderDragStarted: "), reverbTimer,
            [] (int units) -> Lines { return { "====ReverbsliderDragEnded: " + unsignedText (units) }; } } },
        { "time",
          rows[3].slider,
          rows[3].label,
          timeParameter,
          rows[3].units,
          rows[3].lines,
          { unsignedLine ("====Reverb_TimeSilderDragStarted: "), reverbTimer, [] (int) -> Lines { return {}; } } },
    };
}

// The lines of one step from `before` to `after`: a click's, with the value change between.
Lines stepLines (const KeyRow& row, int before, int after)
{
    Lines lines{ row.gesture.started (row.units (before)), row.gesture.timerStarted };
    for (const auto& line : row.valueLines (after))
        lines.push_back (line);
    for (const auto& line : row.gesture.ended (row.units (after)))
        lines.push_back (line);
    lines.push_back (timerStopLine);
    return lines;
}

std::vector<Parameter> sliderParametersBut (Parameter p)
{
    std::vector<Parameter> others;
    for (const auto other : { gainParameter, noiseLevelParameter, depthParameter, timeParameter })
        if (other.groupId != p.groupId || other.index != p.index)
            others.push_back (other);
    return others;
}

class KeyStepTest : public SliderTest
{
protected:
    // The panel in its window with the X input focus, both effects on (their sliders enabled).
    BackgroundComponent& makeFocusablePanel()
    {
        model().setParameter (group::noiseReduction, param::noiseOn, 1);
        model().setParameter (group::reverb, param::reverbOn, 1);
        auto& p = makeShownPanel();
        EXPECT_TRUE (focusWindow()) << "the test's window never got the X input focus";
        return p;
    }

    // A click on the slider's thumb, as a user gives it the keyboard focus; true once the click's
    // two values have gone out.
    bool clickToFocus (BackgroundComponent& p, juce::Slider& slider)
    {
        click (pointFor (slider, static_cast<int> (slider.getValue())));
        if (!slider.hasKeyboardFocus (false))
        {
            ADD_FAILURE() << "the click did not give the slider the keyboard focus";
            return false;
        }
        return runMessageLoopUntil ([&] { return queuesEmpty (p); });
    }
};
} // namespace

TEST_F (KeyStepTest, ArrowKeysOnAFocusedSliderGoOutAsClicksDoAndTheDeviceEndsOnTheLabelsValue)
{
    auto& p = makeFocusablePanel();
    const juce::KeyPress keys[] = { rightKey, upKey, upKey, leftKey, rightKey, downKey, rightKey };

    for (const auto& row : keyRows())
    {
        SCOPED_TRACE (row.name);
        auto& slider = p.*(row.slider);
        ASSERT_TRUE (clickToFocus (p, slider));
        model().clearRecord();

        int value = static_cast<int> (slider.getValue());
        std::vector<int> expected;
        for (const auto& key : keys)
        {
            const int before = value;
            value += stepOf (key);
            log().clear();
            pressKey (key);
            // Each step writes a click's lines, around the value change.
            EXPECT_EQ (log().lines(), stepLines (row, before, value));
            expected.push_back (row.units (before));
            expected.push_back (row.units (value));
        }
        ASSERT_EQ ((p.*(row.label)).getText().toStdString(), std::to_string (value));
        EXPECT_FALSE (p.myTimer->isTimerRunning());

        ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));
        EXPECT_EQ (valuesSent (model(), row.parameter), expected);
        for (const auto other : sliderParametersBut (row.parameter))
            EXPECT_EQ (valuesSent (model(), other), std::vector<int>{});
        EXPECT_EQ (model().parameter (row.parameter.groupId, row.parameter.index), row.units (value));
    }
}

TEST_F (KeyStepTest, OtherKeysModifiedArrowsAndArrowsAtTheEndsQueueNothing)
{
    auto& p = makeFocusablePanel();
    ASSERT_TRUE (clickToFocus (p, p.gainSlider));

    struct QuietKey
    {
        const char* name;
        juce::KeyPress key;
        int value; // where the slider stands
    };
    const QuietKey cases[] = {
        { "Return", juce::KeyPress (juce::KeyPress::returnKey), 50 },
        { "a letter", juce::KeyPress ('a', {}, 'a'), 50 },
        { "Shift+Right", juce::KeyPress (juce::KeyPress::rightKey, juce::ModifierKeys::shiftModifier, 0), 50 },
        { "Ctrl+Left", juce::KeyPress (juce::KeyPress::leftKey, juce::ModifierKeys::ctrlModifier, 0), 50 },
        { "Alt+Up", juce::KeyPress (juce::KeyPress::upKey, juce::ModifierKeys::altModifier, 0), 50 },
        { "Page Up", juce::KeyPress (juce::KeyPress::pageUpKey), 50 },
        { "Home", juce::KeyPress (juce::KeyPress::homeKey), 50 },
        { "End", juce::KeyPress (juce::KeyPress::endKey), 50 },
        { "Left at 0", leftKey, 0 },
        { "Down at 0", downKey, 0 },
        { "Right at 100", rightKey, 100 },
        { "Up at 100", upKey, 100 },
    };
    model().clearRecord();
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        p.gainSlider.setValue (c.value, juce::sendNotificationSync);
        log().clear();

        pressKey (c.key);

        EXPECT_EQ (log().lines(), Lines{});
        EXPECT_TRUE (queuesEmpty (p));
        EXPECT_EQ (p.gainSlider.getValue(), c.value);
        EXPECT_TRUE (p.gainSlider.hasKeyboardFocus (false));
    }

    // A step after them all is the first thing the device gets.
    p.gainSlider.setValue (50, juce::sendNotificationSync);
    pressKey (rightKey);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));
    EXPECT_EQ (sliderFramesSent (model()),
               (std::vector<SetFrame>{ setOf (gainParameter, 2048), setOf (gainParameter, 2088) }));
}

TEST_F (KeyStepTest, TabMovesTheFocusWithoutQueueingAndTheSliderItReachesStepsFromTheKeyboard)
{
    auto& p = makeFocusablePanel();
    ASSERT_TRUE (clickToFocus (p, p.gainSlider));
    model().clearRecord();
    log().clear();

    // As far as the noise-reduction slider, past whatever else takes the focus on the way.
    const juce::KeyPress tab (juce::KeyPress::tabKey);
    for (int presses = 0; presses < 200 && !p.noiseSlider.hasKeyboardFocus (false); ++presses)
        pressKey (tab);
    ASSERT_TRUE (p.noiseSlider.hasKeyboardFocus (false)) << "Tab never reached the noise-reduction slider";
    EXPECT_EQ (log().lines(), Lines{});
    EXPECT_TRUE (queuesEmpty (p));
    EXPECT_EQ (p.gainSlider.getValue(), 65);

    pressKey (rightKey);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));
    EXPECT_EQ (sliderFramesSent (model()),
               (std::vector<SetFrame>{ setOf (noiseLevelParameter, -1980), setOf (noiseLevelParameter, -1890) }));
    EXPECT_EQ (p.noiseValueLabel.getText(), "79");
}

TEST_F (KeyStepTest, AKeyDuringAMouseDragMovesTheValueAndTheDragGoesOnToQueueItsEnd)
{
    auto& p = makeFocusablePanel();
    startDrag (p.gainSlider);
    moveTo (p.gainSlider, 70);
    ASSERT_TRUE (p.gainSlider.hasKeyboardFocus (false));
    ASSERT_EQ (p.gainSlider.getValue(), 70);
    log().clear();

    pressKey (rightKey);

    // The value moved, as by a movement of the mouse; nothing started or ended.
    EXPECT_EQ (log().lines(), (Lines{ "gainSliderValue: 71", "gainSliderValue / 100: 0.710000" }));
    EXPECT_EQ (p.gainSlider.getValue(), 71);
    EXPECT_TRUE (p.gainDragging);
    EXPECT_TRUE (p.myTimer->isTimerRunning());

    endDrag (p.gainSlider);
    EXPECT_EQ (p.gainDeque->back(), 2908);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));
    const auto gains = valuesSent (model(), gainParameter);
    ASSERT_FALSE (gains.empty());
    EXPECT_EQ (gains.back(), 2908);
    EXPECT_EQ (countStartingWith (log().lines(), "Gain_silderDragStarted: "), 0);
    EXPECT_EQ (countStartingWith (log().lines(), "GainsliderDragEnded: "), 1);
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 2908);
}

TEST_F (KeyStepTest, AKeyOnOneSliderWhileAnotherIsHeldInAMouseDragQueuesForTheSliderItHit)
{
    auto& p = makeFocusablePanel();
    startDrag (p.gainSlider);
    moveTo (p.gainSlider, 70);
    ASSERT_TRUE (p.gainSlider.hasKeyboardFocus (false));

    const juce::KeyPress tab (juce::KeyPress::tabKey);
    for (int presses = 0; presses < 200 && !p.noiseSlider.hasKeyboardFocus (false); ++presses)
        pressKey (tab);
    ASSERT_TRUE (p.noiseSlider.hasKeyboardFocus (false)) << "Tab never reached the noise-reduction slider";
    log().clear();

    pressKey (rightKey);

    // The noise-reduction slider's own step; the gain drag is still on, its timer still running.
    EXPECT_EQ (log().lines(), (Lines{ "==Noise_silderDragStarted: 4294965316", "==NoiseSliderValue : 4294965406",
                                      "==NoisesliderDragEnded: 4294965406" }));
    EXPECT_EQ (p.noiseValueLabel.getText(), "79");
    EXPECT_EQ (p.gainSlider.getValue(), 70);
    EXPECT_TRUE (p.gainDragging);
    EXPECT_TRUE (p.myTimer->isTimerRunning());

    // The drag goes on and ends where it is released.
    log().clear();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return countOf (log().lines(), "BackgroundTimer is running...") >= 1; }));
    moveTo (p.gainSlider, 72);
    endDrag (p.gainSlider);
    EXPECT_EQ (p.gainDeque->back(), 2949);
    EXPECT_FALSE (p.myTimer->isTimerRunning());
    ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));

    const auto levels = valuesSent (model(), noiseLevelParameter);
    const int stepValues[] = { -1980, -1890 };
    const auto step = std::search (levels.begin(), levels.end(), std::begin (stepValues), std::end (stepValues));
    EXPECT_NE (step, levels.end()) << "the step's two values did not go out in order";
    ASSERT_FALSE (levels.empty());
    EXPECT_EQ (levels.back(), -1890);
    EXPECT_EQ (valuesSent (model(), gainParameter).back(), 2949);
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 2949);
    EXPECT_EQ (model().parameter (group::noiseReduction, param::noiseLevel), -1890);
}

TEST_F (KeyStepTest, UnderTheNoDeviceMaskKeysQueueNothingAndAfterTheArrivalTheDeviceKeepsItsState)
{
    auto& p = makeFocusablePanel();
    ASSERT_TRUE (clickToFocus (p, p.gainSlider));

    microphone().vanish();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return p.heartbeat == -1 && p.noDeviceMask.isVisible(); }));
    log().clear();
    for (const auto& key : { rightKey, rightKey, upKey })
        pressKey (key);
    EXPECT_EQ (log().lines(), Lines{});
    EXPECT_TRUE (queuesEmpty (p));
    EXPECT_EQ (p.gainSlider.getValue(), 65);

    // Back with a gain set elsewhere; the arrival reads it into the panel.
    model().setParameter (group::microphone, param::gain, 1638); // reads back as 40
    microphone().comeBack();
    model().clearRecord();
    deliverDeviceChange (false);
    // The pacer has drained again since: a tick that found a device answering.
    log().clear();
    ASSERT_TRUE (
        runMessageLoopUntil ([&] { return p.heartbeat != -1 && countOf (log().lines(), "else sleep!!!!!!!") >= 2; }));

    EXPECT_EQ (sliderFramesSent (model()), std::vector<SetFrame>{});
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 1638);
    EXPECT_EQ (p.gainSlider.getValue(), 40);
}

TEST_F (KeyStepTest, WhileMutedKeyStepsWaitAndAfterUnmutingGoOutOldestFirst)
{
    auto& p = makeFocusablePanel();
    const auto muteCentre = p.muteButton.getBounds().getCentre();
    click (muteCentre);
    ASSERT_TRUE (p.muted);
    // The mute button took the focus; the user clicks the slider again.
    model().clearRecord();
    click (pointFor (p.gainSlider, 65));
    ASSERT_TRUE (p.gainSlider.hasKeyboardFocus (false));

    for (const auto& key : { rightKey, rightKey, leftKey })
        pressKey (key);
    // Held until the pacer has ticked, muted, at least twice.
    log().clear();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return countOf (log().lines(), "end sleep!!!!!!!") >= 2; }));
    const std::deque<int> backlog{ 2662, 2662, 2662, 2703, 2703, 2744, 2744, 2703 };
    EXPECT_EQ (*p.gainDeque, backlog);
    EXPECT_EQ (sliderFramesSent (model()), std::vector<SetFrame>{});

    click (muteCentre);
    ASSERT_FALSE (p.muted);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return queuesEmpty (p); }));
    EXPECT_EQ (valuesSent (model(), gainParameter), std::vector<int> (backlog.begin(), backlog.end()));
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 2703);
    EXPECT_EQ (p.gainValueLabel.getText(), "66");
}

TEST_F (KeyStepTest, ASliderDisabledWhenItsEffectIsSwitchedOffTakesNoKeys)
{
    auto& p = makeFocusablePanel();
    ASSERT_TRUE (clickToFocus (p, p.noiseSlider));

    // The switch's left end, where no text lies: noise reduction off. The next paint disables the slider.
    click ({ 410, 265 });
    ASSERT_TRUE (p.noiseOff);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return !p.noiseSlider.isEnabled(); }));
    model().clearRecord();
    log().clear();

    for (const auto& key : { rightKey, upKey, leftKey })
        pressKey (key);

    EXPECT_EQ (log().lines(), Lines{});
    EXPECT_TRUE (queuesEmpty (p));
    EXPECT_EQ (p.noiseSlider.getValue(), 78);
    EXPECT_EQ (p.noiseValueLabel.getText(), "78");
    EXPECT_EQ (p.gainSlider.getValue(), 65);
}

// ---- the periodic push

TEST_F (SliderTest, APeriodicPushQueuesTheStoredValuesOfTheSlidersThatMayBeSent)
{
    auto& p = makePanel();
    p.zarvoTimer->stopTimer();

    struct PushCase
    {
        const char* name;
        bool muted, noiseOff, reverbOff, depthSendEnabled, timeSendEnabled;
        bool pushesNoise, pushesDepth, pushesTime;
    };
    const PushCase cases[] = {
        { "both effects off", false, true, true, true, true, false, false, false },
        { "muted, effects off", true, true, true, false, false, false, false, false },
        { "noise reduction on", false, false, true, false, false, true, false, false },
        { "reverberation on, depth dragged", false, true, false, true, false, false, true, false },
        { "reverberation on, time dragged", false, true, false, false, true, false, false, true },
        { "reverberation on, nothing dragged", false, true, false, false, false, false, false, false },
        { "everything on, muted", true, false, false, true, true, true, true, true },
    };
    const std::string depthLine = "important !!!!~~reverbDequeValue Put a piece of data into a Queue60";

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        emptyQueues (p);
        p.muted = c.muted;
        p.noiseOff = c.noiseOff;
        p.reverbOff = c.reverbOff;
        p.depthSendEnabled = c.depthSendEnabled;
        p.timeSendEnabled = c.timeSendEnabled;
        // Stored values that no slider shows: the push takes these, not the sliders' positions.
        p.gainValue = 1000;
        p.noiseValue = -1980;
        p.reverbDepthValue = 60;
        p.reverbTimeValue = 70;
        log().clear();

        p.myTimer->timerCallback();

        Lines expected{ "BackgroundTimer is running...", "~~singleQueue Put a piece of data into a Queue" };
        if (c.pushesNoise)
            expected.push_back ("~~noiseDequeValue Put a piece of data into a Queue");
        if (c.pushesDepth)
            expected.push_back (depthLine);
        expected.push_back ("30ms");
        expected.push_back (separator);
        EXPECT_EQ (log().lines(), expected);

        EXPECT_EQ (*p.gainDeque, std::deque<int>{ 1000 });
        EXPECT_EQ (*p.noiseDeque, c.pushesNoise ? std::deque<int>{ -1980 } : std::deque<int>{});
        EXPECT_EQ (*p.reverbDepthDeque, c.pushesDepth ? std::deque<int>{ 60 } : std::deque<int>{});
        EXPECT_EQ (*p.reverbTimeDeque, c.pushesTime ? std::deque<int>{ 70 } : std::deque<int>{});
    }
    EXPECT_EQ (sliderFramesSent (model()), std::vector<SetFrame>{});
}

// ---- the pacer

TEST_F (SliderTest, ATickDrainsWhileTheHeartbeatAnswersOrHasNotRunAndOtherwiseWritesSixLines)
{
    auto& p = makePanel();
    p.zarvoTimer->stopTimer();
    p.depthSendEnabled = true;
    p.timeSendEnabled = true;
    auto queueOneValueEach = [&]
    {
        emptyQueues (p);
        p.gainDeque->push_back (2662);
        p.noiseDeque->push_back (-1980);
        p.reverbDepthDeque->push_back (60);
        p.reverbTimeDeque->push_back (70);
        model().clearRecord();
        log().clear();
    };

    // No poll has run yet: 0 counts as a device that answers.
    ASSERT_EQ (p.heartbeat, 0);
    queueOneValueEach();
    p.zarvoTimer->timerCallback();
    EXPECT_EQ (sliderFramesSent (model()),
               (std::vector<SetFrame>{ setOf (gainParameter, 2662), setOf (noiseLevelParameter, -1980),
                                       setOf (depthParameter, 60), setOf (timeParameter, 70) }));
    EXPECT_TRUE (queuesEmpty (p));

    // -1: no device open or the transfer failed; 1: it moved no bytes.
    for (const int heartbeat : { -1, 1 })
    {
        SCOPED_TRACE ("heartbeat " + std::to_string (heartbeat));
        queueOneValueEach();
        p.heartbeat = heartbeat;

        p.zarvoTimer->timerCallback();

        EXPECT_EQ (log().lines(), idleTickLines (heartbeat));
        EXPECT_EQ (model().receivedReports(), std::vector<Bytes>{});
        EXPECT_EQ (*p.gainDeque, std::deque<int>{ 2662 });
        EXPECT_EQ (*p.noiseDeque, std::deque<int>{ -1980 });
        EXPECT_EQ (*p.reverbDepthDeque, std::deque<int>{ 60 });
        EXPECT_EQ (*p.reverbTimeDeque, std::deque<int>{ 70 });
    }
}

TEST_F (SliderTest, EverySenderRestartsTheHeartbeatAt60MsAlsoWhenItsTransferFailed)
{
    auto& p = makePanel();
    stopTimers();
    p.depthSendEnabled = true;
    p.timeSendEnabled = true;

    struct Sender
    {
        const char* name;
        std::deque<int>* queue;
        Parameter parameter;
        int value;
    };
    const Sender senders[] = {
        { "gain", p.gainDeque, gainParameter, 2662 },
        { "noise-reduction level", p.noiseDeque, noiseLevelParameter, -1980 },
        { "reverberation depth", p.reverbDepthDeque, depthParameter, 60 },
        { "reverberation time", p.reverbTimeDeque, timeParameter, 70 },
    };
    for (const auto& sender : senders)
        for (const int heartbeatBefore : { 0, 1 }) // stopped, or back to back as after construction
            for (const bool transferFails : { false, true })
            {
                SCOPED_TRACE (std::string (sender.name) + ", heartbeat " +
                              (heartbeatBefore == 0 ? "stopped" : "at 1 ms") +
                              (transferFails ? ", the frame's transfer fails" : ""));
                emptyQueues (p);
                sender.queue->push_back (sender.value);
                if (heartbeatBefore == 0)
                    p.heartbeatTimer->stopTimer();
                else
                    p.heartbeatTimer->startTimer (heartbeatBefore);
                model().clearRecord();
                if (transferFails)
                    model().failTransfer (1, EIO);

                p.zarvoTimer->timerCallback();

                EXPECT_TRUE (sender.queue->empty());
                EXPECT_EQ (sliderFramesSent (model()),
                           transferFails ? std::vector<SetFrame>{}
                                         : std::vector<SetFrame>{ setOf (sender.parameter, sender.value) });
                EXPECT_TRUE (p.heartbeatTimer->isTimerRunning());
                EXPECT_EQ (p.heartbeatTimer->getTimerInterval(), 60);
            }
}

TEST_F (SliderTest, AGainValueAndANoiseLevelQueuedTogetherGoOutInOneTickGainFirst)
{
    auto& p = makePanel();
    p.zarvoTimer->stopTimer();
    p.noiseOff = false;
    p.heartbeat = 258; // a heartbeat that moved a whole report
    p.gainDeque->push_back (2662);
    p.noiseDeque->push_back (-1980);
    ASSERT_EQ (p.heartbeatTimer->getTimerInterval(), 1); // as the constructor left it
    model().clearRecord();
    log().clear();

    const auto before = juce::Time::getCurrentTime().toString (true, true, true, true).toStdString();
    p.zarvoTimer->timerCallback();
    const auto after = juce::Time::getCurrentTime().toString (true, true, true, true).toStdString();

    EXPECT_EQ (model().receivedReports(),
               (std::vector<Bytes>{ reportOf ({ 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x02, 0x66, 0x0A, 0x16 }),
                                    queryOf (group::microphone),
                                    reportOf ({ 0x00, 0xA5, 0x5A, 0x81, 0x03, 0x01, 0x44, 0xF8, 0x16 }),
                                    queryOf (group::noiseReduction) }));
    EXPECT_EQ (model().parameter (group::noiseReduction, param::noiseLevel), -1980);

    auto lines = log().lines();
    ASSERT_EQ (lines.size(), 21u) << ::testing::PrintToString (lines);
    // The time texts: the local time of the tick, to the second.
    for (const std::size_t at : { std::size_t (7), std::size_t (14) })
    {
        const auto prefix = at == 7 ? std::string ("Thread deque Gain value: ")
                                    : std::string ("Thread deque Noise value getCurrentTime: ");
        EXPECT_TRUE (lines[at] == prefix + before || lines[at] == prefix + after) << lines[at];
        lines[at] = prefix + "<time>";
    }
    EXPECT_EQ (
        lines,
        tickLines (258, { "Thread deque Gain value: 2662 This data has been processed",
                          "Thread deque Gain value: <time>", separator, "Gain Pre-processing data sent to HID: 2662",
                          "Gain front: 10", "Gain back: 102", "sendMessage GainSlider success",
                          "Thread deque Noise value: 4294965316", "Thread deque Noise value getCurrentTime: <time>",
                          separator, "==Noise Pre-processing data sent to HID: 4294965316", "==Noise front: 248",
                          "==Noise back: 68", "sendMessage NoiseSlider success" }));

    // The heartbeat poll resumes 60 ms after the last send.
    EXPECT_TRUE (p.heartbeatTimer->isTimerRunning());
    EXPECT_EQ (p.heartbeatTimer->getTimerInterval(), 60);
    EXPECT_TRUE (queuesEmpty (p));
}

TEST_F (SliderTest, DepthAndTimeDrainOnlyWhileTheirDragMaySendOrItsEndValueIsOut)
{
    auto& p = makePanel();
    p.zarvoTimer->stopTimer();

    struct GateCase
    {
        const char* name;
        bool depthSendEnabled, timeSendEnabled, depthDrainPending, timeDrainPending;
        bool sendsDepth, sendsTime;
    };
    const GateCase cases[] = {
        { "neither slider dragged", false, false, false, false, false, false },
        { "time dragged", false, true, false, false, false, true },
        { "depth dragged", true, false, false, false, true, false },
        { "depth drag ended, its values not all out", false, false, true, false, true, false },
        { "time drag ended, its values not all out", false, false, false, true, false, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        emptyQueues (p);
        // Both effects off: what was queued goes out all the same.
        p.noiseOff = true;
        p.reverbOff = true;
        p.depthSendEnabled = c.depthSendEnabled;
        p.timeSendEnabled = c.timeSendEnabled;
        p.depthDrainPending = c.depthDrainPending;
        p.timeDrainPending = c.timeDrainPending;
        *p.gainDeque = { 100, 101 };
        *p.noiseDeque = { -900, -990 };
        *p.reverbDepthDeque = { 30, 33 };
        *p.reverbTimeDeque = { 40, 44 };
        model().clearRecord();

        p.zarvoTimer->timerCallback();

        std::vector<SetFrame> expected{ setOf (gainParameter, 100), setOf (noiseLevelParameter, -900) };
        if (c.sendsDepth)
            expected.push_back (setOf (depthParameter, 30));
        if (c.sendsTime)
            expected.push_back (setOf (timeParameter, 40));
        EXPECT_EQ (sliderFramesSent (model()), expected);
        EXPECT_EQ (*p.gainDeque, std::deque<int>{ 101 });
        EXPECT_EQ (*p.noiseDeque, std::deque<int>{ -990 });
        EXPECT_EQ (*p.reverbDepthDeque, (c.sendsDepth ? std::deque<int>{ 33 } : std::deque<int>{ 30, 33 }));
        EXPECT_EQ (*p.reverbTimeDeque, (c.sendsTime ? std::deque<int>{ 44 } : std::deque<int>{ 40, 44 }));

        // A drag that has ended keeps its queue draining until the last value is out, then stops.
        if (c.depthDrainPending || c.timeDrainPending)
        {
            model().clearRecord();
            p.zarvoTimer->timerCallback();
            p.zarvoTimer->timerCallback();
            const auto& drained = c.depthDrainPending ? depthParameter : timeParameter;
            EXPECT_EQ (valuesSent (model(), drained), std::vector<int>{ c.depthDrainPending ? 33 : 44 });
            EXPECT_FALSE (p.depthDrainPending || p.timeDrainPending);

            (c.depthDrainPending ? p.reverbDepthDeque : p.reverbTimeDeque)->push_back (7);
            model().clearRecord();
            p.zarvoTimer->timerCallback();
            EXPECT_EQ (valuesSent (model(), drained), std::vector<int>{});
        }
    }
}

TEST_F (SliderTest, TheDepthAndTimeSendersWriteTheirFramesAndLines)
{
    auto& p = makePanel();
    p.zarvoTimer->stopTimer();
    p.reverbOff = false;
    p.depthSendEnabled = true;
    p.timeSendEnabled = true;
    p.reverbDepthDeque->push_back (60);
    p.reverbTimeDeque->push_back (70);
    model().clearRecord();
    log().clear();

    p.zarvoTimer->timerCallback();

    EXPECT_EQ (model().receivedReports(),
               (std::vector<Bytes>{
                   reportOf ({ 0x00, 0xA5, 0x5A, 0x82, 0x03, 0x02, 0x3C, 0x00, 0x16 }), queryOf (group::reverb),
                   reportOf ({ 0x00, 0xA5, 0x5A, 0x82, 0x03, 0x04, 0x46, 0x00, 0x16 }), queryOf (group::reverb) }));
    // The time sender writes no line of its own, only the device operation's.
    EXPECT_EQ (log().lines(), tickLines (0, { "====Reverb Pre-processing data sent to HID: 60", "====Reverb front: 0",
                                              "====Reverb back: 60", "sendMessage ReverbSlider success",
                                              "sendMessage ReverbSlider success" }));
    EXPECT_EQ (model().parameter (group::reverb, param::reverbDepth), 60);
    EXPECT_EQ (model().parameter (group::reverb, param::reverbTime), 70);
}
