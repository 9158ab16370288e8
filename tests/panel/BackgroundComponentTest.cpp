// The control panel's structure, switches, mute, heartbeat and device synchronisation, against the
// virtual KT-Q7TR: what goes on the wire and into the log when the panel is built, its children and
// their places, every button and text path through real mouse events on its window, the
// synchronisation from the device's state, removal and arrival announced by real udev messages,
// and destruction.
#include "PanelTest.h"

#include "BinaryData.h"
#include "PollUntil.h"
#include "UdevEventInjector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

using namespace zarvo;
using namespace zarvo::test;

namespace
{
using Bytes = MicrophoneModel::Bytes;
using Reports = std::vector<Bytes>;
using Lines = std::vector<std::string>;

// ---- frames as the device receives them

Bytes queryOf (unsigned char groupId)
{
    return reportOf ({ 0x00, 0xA5, 0x5A, groupId, 0x00, 0x16 });
}

Bytes setFrame (unsigned char groupId, unsigned char parameter, unsigned char low)
{
    return reportOf ({ 0x00, 0xA5, 0x5A, groupId, 0x03, parameter, low, 0x00, 0x16 });
}

const Bytes heartbeatQuery = queryOf (0x00);
const Bytes levelQuery = queryOf (0x84);
const Bytes micQuery = queryOf (0x8C);
const Bytes noiseQuery = queryOf (0x81);
const Bytes reverbQuery = queryOf (0x82);
const Bytes infoQuery = reportOf ({ 0x00, 0xA5, 0x5A, 0xFC, 0x01, 0x01, 0x16 });
const Bytes startupFrame = setFrame (0x8C, 0x00, 0x01);

Bytes muteFrame (bool on)
{
    return setFrame (0x8C, 0x01, on ? 1 : 0);
}

Bytes noiseFrame (bool on)
{
    return setFrame (0x81, 0x00, on ? 1 : 0);
}

Bytes reverbFrame (bool on)
{
    return setFrame (0x82, 0x00, on ? 1 : 0);
}

// What readStatus sends, in its order.
const Reports statusQueries{ infoQuery, micQuery, noiseQuery, reverbQuery };

Reports join (std::initializer_list<Reports> parts)
{
    Reports all;
    for (const auto& part : parts)
        all.insert (all.end(), part.begin(), part.end());
    return all;
}

// Reports as hex text up to their last non-zero byte, so that a failure shows readable frames.
std::vector<std::string> hexOf (const Reports& reports)
{
    std::vector<std::string> texts;
    for (const auto& report : reports)
    {
        auto end = report.size();
        while (end > 0 && report[end - 1] == 0)
            --end;
        std::string text;
        char byte[4];
        for (std::size_t i = 0; i < end; ++i)
        {
            std::snprintf (byte, sizeof byte, "%02X ", report[i]);
            text += byte;
        }
        if (report.size() != static_cast<std::size_t> (reportLength))
            text += "(" + std::to_string (report.size()) + " bytes)";
        texts.push_back (text);
    }
    return texts;
}

// The record without the heartbeat ticks that ran while the message loop was pumped. A tick is a
// heartbeat query followed by a level query; the opening's heartbeat query is followed by
// something else, and no tick can fall inside a synchronous sequence.
Reports withoutHeartbeatTicks (const Reports& reports)
{
    Reports kept;
    for (std::size_t i = 0; i < reports.size(); ++i)
    {
        if (i + 1 < reports.size() && reports[i] == heartbeatQuery && reports[i + 1] == levelQuery)
        {
            ++i;
            continue;
        }
        kept.push_back (reports[i]);
    }
    return kept;
}

// ---- device states

struct DeviceState
{
    int mute = 0;
    int rawGain = 2662;
    int rawNoiseLevel = -2000;
    int rawDepth = 60;
    int noiseOn = 0;
    int reverbOn = 0;
    int time = 70;
};

void apply (MicrophoneModel& model, const DeviceState& state)
{
    model.setParameter (group::microphone, param::mute, state.mute);
    model.setParameter (group::microphone, param::gain, state.rawGain);
    model.setParameter (group::noiseReduction, param::noiseOn, state.noiseOn);
    model.setParameter (group::noiseReduction, param::noiseLevel, state.rawNoiseLevel);
    model.setParameter (group::reverb, param::reverbOn, state.reverbOn);
    model.setParameter (group::reverb, param::reverbDepth, state.rawDepth);
    model.setParameter (group::reverb, param::reverbTime, state.time);
}

// ---- log lines

const std::string constructorStart = "BackgroundComponent is running...";
const std::string constructorRun = "BackgroundComponent::BackgroundComponent(). The constructor run";
const std::string constructorEnd = "BackgroundComponent::BackgroundComponent(). The constructor end";
const std::string destructorRun = "BackgroundComponent::~BackgroundComponent(). The destructor run";
const std::string destructorEnd = "BackgroundComponent::~BackgroundComponent(). The destructor end";
const Lines layoutLines{ "void BackgroundComponent::resized() run", "void BackgroundComponent::resized() end" };

// The opening with the virtual microphone listed (usage page, usage, vendor, product), or alone.
Lines openingLines (bool microphoneListed)
{
    Lines lines{ "hid_register_device_notification run", "hid_register_device_notification end" };
    if (microphoneListed)
        for (const char* value : { "65280", "1", "65281", "9" })
            lines.push_back (std::string ("hid_register_device_notification run") + value);
    return lines;
}

// readDeviceInfo's three lines, then the information panel's four.
Lines deviceInfoLines (const std::string& bytes, const std::string& model, const std::string& firmware)
{
    return { "ZarvoHid=============================",
             bytes,
             "=============================",
             "=============================",
             "deviceNameStr: " + model,
             "deviceVersionStr: " + firmware,
             "=============================" };
}

const Lines factoryDeviceInfoLines = deviceInfoLines ("81 55 84 82 32 86 49 46 50 46 48 0 ", "Q7TR", "V1.2.0");

Lines joinLines (std::initializer_list<Lines> parts)
{
    Lines all;
    for (const auto& part : parts)
        all.insert (all.end(), part.begin(), part.end());
    return all;
}

// The lines from the first `first` to the first `last` after it, both included; empty if either
// is missing.
Lines slice (const Lines& lines, const std::string& first, const std::string& last)
{
    const auto from = std::find (lines.begin(), lines.end(), first);
    if (from == lines.end())
        return {};
    const auto to = std::find (from, lines.end(), last);
    if (to == lines.end())
        return {};
    return { from, to + 1 };
}

// ---- the panel's parts

int valueOf (const juce::Slider& slider)
{
    return static_cast<int> (slider.getValue());
}

std::vector<int> sliderValues (BackgroundComponent& panel)
{
    return { valueOf (panel.gainSlider), valueOf (panel.noiseSlider), valueOf (panel.reverbDepthSlider),
             valueOf (panel.reverbTimeSlider) };
}

juce::Rectangle<int> knobBounds (bool effectOn, int y)
{
    return { effectOn ? 455 : 405, y, 50, 26 };
}

void expectSwitches (BackgroundComponent& panel, bool muted, bool noiseOn, bool reverbOn)
{
    EXPECT_EQ (panel.muted, muted);
    EXPECT_EQ (panel.noiseOff, !noiseOn);
    EXPECT_EQ (panel.reverbOff, !reverbOn);
    EXPECT_EQ (panel.noiseKnob.getBounds(), knobBounds (noiseOn, 252));
    EXPECT_EQ (panel.reverbKnob.getBounds(), knobBounds (reverbOn, 369));
}

juce::Image mutedImage()
{
    return juce::ImageCache::getFromMemory (BinaryData::pressedNoisebtn_png, BinaryData::pressedNoisebtn_pngSize);
}

juce::Image unmutedImage()
{
    return juce::ImageCache::getFromMemory (BinaryData::notSelectedNoisebtn_png,
                                            BinaryData::notSelectedNoisebtn_pngSize);
}

juce::Image unmutedHoverImage()
{
    return juce::ImageCache::getFromMemory (BinaryData::chooseNoisebtn_png, BinaryData::chooseNoisebtn_pngSize);
}

// The images a mute toggle gives the button, and the hit-test threshold 0 that lets the whole
// button take clicks even where its disc image is transparent.
void expectMuteImages (BackgroundComponent& panel, bool muted)
{
    auto& button = panel.muteButton;
    EXPECT_TRUE (button.getNormalImage() == (muted ? mutedImage() : unmutedImage()));
    EXPECT_TRUE (button.getOverImage() == (muted ? mutedImage() : unmutedHoverImage()));
    EXPECT_TRUE (button.getDownImage() == (muted ? mutedImage() : unmutedImage()));
    EXPECT_EQ (button.getNormalImage().getPixelAt (0, 0).getAlpha(), 0) << "the corner must be transparent";
    EXPECT_TRUE (static_cast<juce::Component&> (button).hitTest (0, 0));
}

void collectLabelTexts (juce::Component& component, std::vector<std::string>& texts)
{
    for (auto* child : component.getChildren())
    {
        if (auto* label = dynamic_cast<juce::Label*> (child))
            texts.push_back (label->getText().toStdString());
        collectLabelTexts (*child, texts);
    }
}

std::vector<std::string> labelTexts (juce::Component& component)
{
    std::vector<std::string> texts;
    collectLabelTexts (component, texts);
    return texts;
}

bool contains (const std::vector<std::string>& texts, const std::string& text)
{
    return std::find (texts.begin(), texts.end(), text) != texts.end();
}

// The model and firmware texts the information panel shows: its labels at the value places of the
// first language.
Lines shownInformation (BackgroundComponent& panel)
{
    Lines texts;
    for (const juce::Rectangle<int> place : { juce::Rectangle<int> (110, 100, 200, 24), { 110, 130, 200, 24 } })
        for (auto* child : panel.infoPanel.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child); label != nullptr && label->getBounds() == place)
                texts.push_back (label->getText().toStdString());
    return texts;
}

// What an arrival leaves, whether the opening succeeded or not: the controls synchronised (every
// switch on or every switch off), the information shown, the pacer restarted at 10 ms and the
// heartbeat at 60 ms.
void expectArrived (BackgroundComponent& panel, const std::vector<int>& sliders, bool switchesOn, const Lines& shown)
{
    EXPECT_EQ (sliderValues (panel), sliders);
    expectSwitches (panel, switchesOn, switchesOn, switchesOn);
    EXPECT_EQ (shownInformation (panel), shown);
    EXPECT_EQ (panel.zarvoTimer->getTimerInterval(), 10);
    EXPECT_EQ (panel.heartbeatTimer->getTimerInterval(), 60);
}

// One paint of the whole panel, as a repaint of its window makes it; whether the mask covers it then.
bool paintedMasked (BackgroundComponent& panel)
{
    panel.createComponentSnapshot (panel.getLocalBounds());
    return panel.noDeviceMask.getParentComponent() == &panel && panel.noDeviceMask.isVisible();
}

// A member of the panel, by name, for tables.
struct Part
{
    const char* name;
    juce::Component& (*of) (BackgroundComponent&);
};

#define ZARVO_PART(member)                                                                                             \
    Part                                                                                                               \
    {                                                                                                                  \
#member, [](BackgroundComponent & p) -> juce::Component& { return p.member; }                                  \
    }

struct Placed
{
    Part part;
    juce::Rectangle<int> bounds;
};

#define ZARVO_PLACED(member, x, y, w, h)                                                                               \
    Placed                                                                                                             \
    {                                                                                                                  \
        ZARVO_PART (member),                                                                                           \
        {                                                                                                              \
            x, y, w, h                                                                                                 \
        }                                                                                                              \
    }

// Every place the layout gives, in its order (the meter bars are checked on their own).
const std::vector<Placed> layoutTable{
    ZARVO_PLACED (infoButton, 568, 5, 26, 26),
    ZARVO_PLACED (gainSlider, 105, 188, 400, 20),
    ZARVO_PLACED (noiseSlider, 105, 298, 400, 20),
    ZARVO_PLACED (reverbDepthSlider, 105, 423, 400, 20),
    ZARVO_PLACED (reverbTimeSlider, 105, 492, 400, 20),
    ZARVO_PLACED (muteTitleLabel, 35, 38, 200, 22),
    ZARVO_PLACED (gainTitleLabel, 35, 136, 200, 22),
    ZARVO_PLACED (noiseTitleLabel, 35, 247, 200, 22),
    ZARVO_PLACED (reverbTitleLabel, 35, 366, 200, 22),
    ZARVO_PLACED (reverbDepthTitleLabel, 39, 448, 50, 15),
    ZARVO_PLACED (reverbTimeTitleLabel, 39, 516, 50, 15),
    ZARVO_PLACED (gainIcon, 49, 182, 24, 32),
    ZARVO_PLACED (noiseIcon1, 40, 296, 20, 18),
    ZARVO_PLACED (noiseIcon2, 56, 298, 14, 15),
    ZARVO_PLACED (noiseIcon3, 69, 307, 18, 2),
    ZARVO_PLACED (reverbDepthIcon, 51, 424, 26, 19),
    ZARVO_PLACED (reverbDepthIconFrame, 47, 422, 34, 24),
    ZARVO_PLACED (reverbTimeIcon1, 60, 499, 8, 8),
    ZARVO_PLACED (reverbTimeIcon2, 45, 495, 20, 15),
    ZARVO_PLACED (reverbTimeIcon3, 63, 495, 20, 15),
    ZARVO_PLACED (reverbTimeIconFrame, 47, 491, 34, 24),
    ZARVO_PLACED (noiseSwitch, 405, 252, 100, 26),
    ZARVO_PLACED (reverbSwitch, 405, 369, 100, 26),
    ZARVO_PLACED (noiseOffText, 421, 251, 40, 30),
    ZARVO_PLACED (noiseOnText, 468, 251, 40, 30),
    ZARVO_PLACED (reverbOffText, 421, 368, 40, 30),
    ZARVO_PLACED (reverbOnText, 468, 368, 40, 30),
    ZARVO_PLACED (gainMinLabel, 105, 209, 17, 24),
    ZARVO_PLACED (gainMaxLabel, 483, 209, 30, 24),
    ZARVO_PLACED (noiseMinLabel, 105, 320, 17, 24),
    ZARVO_PLACED (noiseMaxLabel, 483, 320, 30, 24),
    ZARVO_PLACED (reverbDepthMinLabel, 105, 445, 17, 24),
    ZARVO_PLACED (reverbDepthMaxLabel, 483, 445, 30, 24),
    ZARVO_PLACED (reverbTimeMinLabel, 105, 513, 17, 24),
    ZARVO_PLACED (reverbTimeMaxLabel, 483, 513, 30, 24),
    ZARVO_PLACED (muteButton, 43, 78, 40, 40),
    ZARVO_PLACED (gainValueLabel, 535, 184, 30, 24),
    ZARVO_PLACED (noiseValueLabel, 535, 294, 50, 24),
    ZARVO_PLACED (reverbDepthValueLabel, 535, 421, 50, 24),
    ZARVO_PLACED (reverbTimeValueLabel, 535, 489, 50, 24),
    ZARVO_PLACED (noiseSwitchCaption, 364, 254, 40, 30),
    ZARVO_PLACED (reverbSwitchCaption, 364, 370, 40, 30),
    ZARVO_PLACED (infoPanel, 360, 13, 220, 360),
    ZARVO_PLACED (clickCatcher, 0, 0, 1000, 1000),
    ZARVO_PLACED (noDeviceMask, 0, 0, 1000, 1000),
    ZARVO_PLACED (statusLabel, 400, 638, 250, 50),
};

// The children after the meter bars, in the order they became children.
const std::vector<Part> childrenAfterBars{
    ZARVO_PART (infoButton),
    ZARVO_PART (instagramButton),
    ZARVO_PART (twitterButton),
    ZARVO_PART (facebookButton),
    ZARVO_PART (bilibiliButton),
    ZARVO_PART (douyinButton),
    ZARVO_PART (xiaohongshuButton),
    ZARVO_PART (gainSlider),
    ZARVO_PART (noiseSlider),
    ZARVO_PART (reverbDepthSlider),
    ZARVO_PART (reverbTimeSlider),
    ZARVO_PART (muteTitleLabel),
    ZARVO_PART (gainTitleLabel),
    ZARVO_PART (noiseTitleLabel),
    ZARVO_PART (reverbTitleLabel),
    ZARVO_PART (reverbDepthTitleLabel),
    ZARVO_PART (reverbTimeTitleLabel),
    ZARVO_PART (gainMinLabel),
    ZARVO_PART (gainMaxLabel),
    ZARVO_PART (noiseMinLabel),
    ZARVO_PART (noiseMaxLabel),
    ZARVO_PART (reverbDepthMinLabel),
    ZARVO_PART (reverbDepthMaxLabel),
    ZARVO_PART (reverbTimeMaxLabel),
    ZARVO_PART (reverbTimeMinLabel),
    ZARVO_PART (gainIcon),
    ZARVO_PART (noiseIcon1),
    ZARVO_PART (noiseIcon2),
    ZARVO_PART (noiseIcon3),
    ZARVO_PART (reverbDepthIcon),
    ZARVO_PART (reverbDepthIconFrame),
    ZARVO_PART (reverbTimeIcon1),
    ZARVO_PART (reverbTimeIcon2),
    ZARVO_PART (reverbTimeIcon3),
    ZARVO_PART (reverbTimeIconFrame),
    ZARVO_PART (muteButton),
    ZARVO_PART (gainValueLabel),
    ZARVO_PART (noiseValueLabel),
    ZARVO_PART (reverbDepthValueLabel),
    ZARVO_PART (reverbTimeValueLabel),
    ZARVO_PART (noiseSwitch),
    ZARVO_PART (reverbSwitch),
    ZARVO_PART (noiseOnLabel),
    ZARVO_PART (noiseOffLabel),
    ZARVO_PART (reverbOnLabel),
    ZARVO_PART (reverbOffLabel),
    ZARVO_PART (noiseKnob),
    ZARVO_PART (reverbKnob),
    ZARVO_PART (noiseOffText),
    ZARVO_PART (noiseOnText),
    ZARVO_PART (reverbOffText),
    ZARVO_PART (reverbOnText),
    ZARVO_PART (statusLabel),
    ZARVO_PART (noiseSwitchCaption),
    ZARVO_PART (reverbSwitchCaption),
};

constexpr int barCount = 24;

void expectBars (BackgroundComponent& panel)
{
    ASSERT_EQ (panel.meterSegments.size(), static_cast<std::size_t> (barCount));
    ASSERT_EQ (panel.m_mask.size(), static_cast<std::size_t> (barCount));
    for (int i = 0; i < barCount; ++i)
    {
        const juce::Rectangle<int> expected (108 + 19 * i, 90, 6, 28);
        EXPECT_EQ (panel.meterSegments[(std::size_t)i]->getBounds(), expected) << "meterSegments[" << i << "]";
        EXPECT_EQ (panel.m_mask[(std::size_t)i]->getBounds(), expected) << "m_mask[" << i << "]";
    }
}

void expectLayoutTable (BackgroundComponent& panel)
{
    for (const auto& placed : layoutTable)
        EXPECT_EQ (placed.part.of (panel).getBounds(), placed.bounds) << placed.part.name;
}

std::vector<juce::Component*> barsOf (BackgroundComponent& panel)
{
    std::vector<juce::Component*> bars;
    for (auto* row : { &panel.meterSegments, &panel.m_mask })
        for (auto& bar : *row)
            bars.push_back (bar.get());
    return bars;
}

// Counts the slider notifications it receives.
struct SliderNotifications : juce::Slider::Listener
{
    void sliderValueChanged (juce::Slider*) override { ++count; }
    int count = 0;
};

// Watches the lines written to std::cerr (where the log goes) as they are written, for a state seen
// at the very moment of a line; restores the previous stream buffer when it goes.
class LineWatcher : public std::streambuf
{
public:
    explicit LineWatcher (std::function<void (const std::string&)> lineWritten)
        : onLine (std::move (lineWritten)), previous (std::cerr.rdbuf (this))
    {
    }
    ~LineWatcher() override { std::cerr.rdbuf (previous); }
    LineWatcher (const LineWatcher&) = delete;
    LineWatcher& operator= (const LineWatcher&) = delete;

protected:
    int overflow (int c) override
    {
        if (c == traits_type::eof())
            return traits_type::not_eof (c);
        if (c == '\n')
        {
            onLine (pending);
            pending.clear();
        }
        else
            pending += static_cast<char> (c);
        return c;
    }

private:
    std::function<void (const std::string&)> onLine;
    std::string pending;
    std::streambuf* previous;
};

struct DeletionProbe : juce::ComponentListener
{
    explicit DeletionProbe (std::function<void()> deleted) : onDeleted (std::move (deleted)) {}
    void componentBeingDeleted (juce::Component&) override { onDeleted(); }
    std::function<void()> onDeleted;
};

// A panel whose udev messages are injected: waits pump the message loop until the line is logged.
class PanelWithUdev : public PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        injector = std::make_unique<UdevEventInjector>();
        ASSERT_TRUE (injector->isOpen()) << injector->error();
    }

    // Announces the KT-Q7TR's arrival or removal and runs the message loop until the device object
    // has handled it. What the reopening prints is kept off the test's output.
    bool announce (const char* action)
    {
        const auto handled = std::string ("HidDeviceChangeCallback:") + (std::string (action) == "add" ? "0" : "1");
        if (!injector->send (
                UdevEventInjector::hidrawEvent (action, VirtualMicrophone::vendorId, VirtualMicrophone::productId)))
            return false;
        StdoutCapture printed;
        return runMessageLoopUntil ([&] { return log().text().find (handled + "\n") != std::string::npos; }, 5000);
    }

    std::unique_ptr<UdevEventInjector> injector;
};
} // namespace

// ---- construction

TEST_F (PanelTest, ConstructionSendsAndLogsInOrderAndLeavesTheTimersRunning)
{
    struct Case
    {
        const char* name;
        DeviceState device;
        std::string statusLine;
        Reports switchFrames; // what syncFromDevice's three toggles send
        Lines switchLines;
        bool muted, noiseOn, reverbOn;
        std::vector<int> sliders;
    };
    const Case cases[] = {
        { "mute 0, both effects off",
          {},
          "0 0 65 78 20 0 0 70 ",
          { muteFrame (false), micQuery, noiseFrame (false), noiseQuery, reverbFrame (false), reverbQuery },
          { "close Mic Noise Suppressor success", "sendMessage NoiseSlider success",
            "sendMessage ReverbSlider success" },
          false,
          false,
          false,
          { 65, 78, 20, 70 } },
        { "mute 1, noise reduction on, reverberation off",
          { 1, 1024, -4500, 150, 1, 0, 33 },
          "0 1 26 50 50 1 0 33 ",
          { muteFrame (true), micQuery, noiseFrame (true), noiseQuery, reverbFrame (false), reverbQuery },
          { "258", "open Mic Noise Suppressor success", "sendMessage GainSlider success",
            "sendMessage ReverbSlider success" },
          true,
          true,
          false,
          { 26, 50, 50, 33 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        destroyPanel();
        apply (model(), c.device);
        model().setInputLevel (4660);
        model().clearRecord();
        log().clear();

        auto& panel = makePanel();

        EXPECT_EQ (hexOf (model().receivedReports()),
                   hexOf (join (
                       { { heartbeatQuery, infoQuery }, statusQueries, c.switchFrames, { startupFrame, micQuery } })));
        EXPECT_EQ (log().lines(), joinLines ({ { constructorStart },
                                               openingLines (true),
                                               factoryDeviceInfoLines,
                                               { constructorRun },
                                               layoutLines,
                                               { c.statusLine },
                                               c.switchLines,
                                               { constructorEnd } }));

        EXPECT_EQ (panel.heartbeatTimer->getTimerInterval(), 1);
        EXPECT_EQ (panel.dectorTimer->getTimerInterval(), 10);
        EXPECT_EQ (panel.zarvoTimer->getTimerInterval(), 10);
        EXPECT_FALSE (panel.myTimer->isTimerRunning());

        expectSwitches (panel, c.muted, c.noiseOn, c.reverbOn);
        EXPECT_EQ (sliderValues (panel), c.sliders);
        ASSERT_NE (panel.deviceStatus, nullptr);
        EXPECT_EQ (panel.deviceStatus[1], c.device.mute);
        EXPECT_EQ (hid->deviceChangedSignal.size(), 1u);

        // The first heartbeat tick: heartbeat and level queries, their results kept.
        model().clearRecord();
        log().clear();
        panel.heartbeatTimer->stopTimer();
        panel.heartbeatTimer->timerCallback();
        EXPECT_EQ (hexOf (model().receivedReports()), hexOf ({ heartbeatQuery, levelQuery }));
        EXPECT_EQ (log().lines(),
                   (Lines{ "HeartbeatData: 258", "origin Slience:4660", "HeartbeatTimer is running..." }));
        EXPECT_EQ (panel.heartbeat, reportLength + 1);
        EXPECT_EQ (panel.getInputLevel(), 4660u);
    }
}

TEST_F (PanelTest, WithoutDeviceConstructionCompletesWithEmptyInformationAndRunningTimers)
{
    withoutMicrophone();
    auto& panel = makePanel();

    EXPECT_TRUE (model().transfers().empty());
    const Lines unanswered{ "unable to open device ", "unable to open device ", "unable to open device " };
    EXPECT_EQ (log().lines(), joinLines ({ { constructorStart },
                                           openingLines (false),
                                           deviceInfoLines ("0 0 0 0 0 0 0 0 0 0 0 0 ", "", ""),
                                           { constructorRun },
                                           layoutLines,
                                           { "0 0 1 100 0 0 0 0 " },
                                           unanswered,
                                           { constructorEnd } }));

    EXPECT_EQ (hid->hidDevice, nullptr);
    EXPECT_TRUE (std::all_of (std::begin (panel.deviceInfo), std::begin (panel.deviceInfo) + 12,
                              [] (unsigned char byte) { return byte == 0; }));
    EXPECT_EQ (sliderValues (panel), (std::vector<int>{ 1, 100, 0, 0 }));
    expectSwitches (panel, false, false, false);
    EXPECT_EQ (panel.heartbeatTimer->getTimerInterval(), 1);
    EXPECT_EQ (panel.dectorTimer->getTimerInterval(), 10);
    EXPECT_EQ (panel.zarvoTimer->getTimerInterval(), 10);

    panel.heartbeatTimer->stopTimer();
    panel.heartbeatTimer->timerCallback();
    EXPECT_EQ (panel.heartbeat, -1);
}

// ---- structure, before any paint

TEST_F (PanelTest, LayoutPlacesEveryChildAndCreatesTheMeterBarsOnce)
{
    DeviceState device;
    device.noiseOn = 1; // the knob then lies where no layout would put it
    apply (model(), device);
    auto& panel = makePanel();

    // Stacking: the bars first (segments below their covers), then the constructor's two groups.
    std::vector<juce::Component*> expected = barsOf (panel);
    std::vector<std::string> names (expected.size(), "a meter bar");
    for (const auto& part : childrenAfterBars)
    {
        expected.push_back (&part.of (panel));
        names.push_back (part.name);
    }
    ASSERT_EQ (panel.getNumChildComponents(), static_cast<int> (expected.size()));
    for (int i = 0; i < panel.getNumChildComponents(); ++i)
        EXPECT_EQ (panel.getChildComponent (i), expected[(std::size_t)i]) << "child " << i << ": " << names[(size_t)i];
    for (auto* notYet :
         std::initializer_list<juce::Component*>{ &panel.noDeviceMask, &panel.infoPanel, &panel.clickCatcher })
        EXPECT_EQ (notYet->getParentComponent(), nullptr);
    for (auto* bar : barsOf (panel))
        EXPECT_TRUE (bar->isVisible());

    expectLayoutTable (panel);
    expectBars (panel);
    EXPECT_EQ (panel.noiseKnob.getBounds(), knobBounds (true, 252));
    EXPECT_EQ (panel.reverbKnob.getBounds(), knobBounds (false, 369));
    // Placed by paint, not by the layout.
    for (const auto& part : { ZARVO_PART (instagramButton), ZARVO_PART (twitterButton), ZARVO_PART (facebookButton),
                              ZARVO_PART (bilibiliButton), ZARVO_PART (douyinButton), ZARVO_PART (xiaohongshuButton),
                              ZARVO_PART (noiseOnLabel), ZARVO_PART (noiseOffLabel), ZARVO_PART (reverbOnLabel),
                              ZARVO_PART (reverbOffLabel) })
        EXPECT_TRUE (part.of (panel).getBounds().isEmpty()) << part.name;

    for (auto* slider : { &panel.gainSlider, &panel.noiseSlider, &panel.reverbDepthSlider, &panel.reverbTimeSlider })
        EXPECT_TRUE (slider->getWantsKeyboardFocus());
    EXPECT_FALSE (panel.noiseSwitch.getWantsKeyboardFocus());
    EXPECT_FALSE (panel.reverbSwitch.getWantsKeyboardFocus());

    // The main component's size: the second layout moves nothing and creates nothing.
    const auto barsBefore = barsOf (panel);
    log().clear();
    panel.setSize (1000, 972);
    EXPECT_EQ (log().lines(), layoutLines);
    EXPECT_EQ (barsOf (panel), barsBefore);
    expectBars (panel);
    expectLayoutTable (panel);
    EXPECT_EQ (panel.noiseKnob.getBounds(), knobBounds (true, 252));

    panel.resized();
    EXPECT_EQ (barsOf (panel), barsBefore);
    EXPECT_EQ (panel.getNumChildComponents(), static_cast<int> (expected.size()));
    expectBars (panel);
}

TEST_F (PanelTest, AnyOtherSliderDrawsAnOrangeTrackAndAWhiteThumb)
{
    auto& defaults = juce::LookAndFeel::getDefaultLookAndFeel();
    defaults.setColour (juce::Slider::trackColourId, juce::Colours::blue);
    defaults.setColour (juce::Slider::thumbColourId, juce::Colours::black);

    makePanel();

    juce::Slider elsewhere;
    elsewhere.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    elsewhere.setRange (0, 100, 1);
    elsewhere.setValue (50, juce::dontSendNotification);
    elsewhere.setSize (200, 20);
    const auto picture = elsewhere.createComponentSnapshot (elsewhere.getLocalBounds(), true, 1.0f);

    EXPECT_EQ (picture.getPixelAt (40, 10).getARGB(), 0xFFFFAB21u) << "the track left of the thumb";
    EXPECT_EQ (picture.getPixelAt (100, 10).getARGB(), 0xFFFFFFFFu) << "the thumb";
}

// ---- the switches, the mute button and the information panel through the window

TEST_F (PanelTest, SwitchesAndTheirTextsToggleThroughTheWindow)
{
    enum class Target
    {
        track,
        knob,
        onText,
        offText
    };
    struct Case
    {
        const char* name;
        bool onBefore;
        bool pressOnly; // a press, then a release checked apart; otherwise a whole click
        int x;
        Target target;
        bool toggles;
    };
    const Case cases[] = {
        { "a click on the track while off switches on", false, false, 464, Target::track, true },
        { "a click on the track while on switches off", true, false, 410, Target::track, true },
        { "a press on the OFF text, over the knob, while off switches on", false, true, 430, Target::offText, true },
        { "a press on the ON text while off switches on", false, true, 480, Target::onText, true },
        { "a press on the ON text, over the knob, while on switches off", true, true, 480, Target::onText, true },
        { "a press on the OFF text while on switches off", true, true, 425, Target::offText, true },
        { "a press on the OFF text where it overlaps the knob, while on", true, true, 458, Target::offText, true },
        { "a click on the knob's uncovered part while off does nothing", false, false, 410, Target::knob, false },
        { "a click on the knob's uncovered part while on does nothing", true, false, 464, Target::knob, false },
    };
    struct Effect
    {
        const char* name;
        unsigned char parameterGroup;
        int y;
        Bytes (*frame) (bool on);
        Bytes query;
        bool BackgroundComponent::*off;
        juce::ImageButton BackgroundComponent::*track;
        juce::ImageButton BackgroundComponent::*knob;
        juce::Label BackgroundComponent::*onText;
        juce::Label BackgroundComponent::*offText;
    };
    const Effect effects[] = {
        { "noise reduction", group::noiseReduction, 252, noiseFrame, noiseQuery, &BackgroundComponent::noiseOff,
          &BackgroundComponent::noiseSwitch, &BackgroundComponent::noiseKnob, &BackgroundComponent::noiseOnText,
          &BackgroundComponent::noiseOffText },
        { "reverberation", group::reverb, 369, reverbFrame, reverbQuery, &BackgroundComponent::reverbOff,
          &BackgroundComponent::reverbSwitch, &BackgroundComponent::reverbKnob, &BackgroundComponent::reverbOnText,
          &BackgroundComponent::reverbOffText },
    };

    for (const auto& effect : effects)
        for (const auto& c : cases)
        {
            SCOPED_TRACE (std::string (effect.name) + ": " + c.name);
            destroyPanel();
            model().setParameter (effect.parameterGroup, 0, c.onBefore ? 1 : 0);
            auto& panel = makePanel();
            showOnDesktop();

            juce::Component* const targets[] = { &(panel.*effect.track), &(panel.*effect.knob), &(panel.*effect.onText),
                                                 &(panel.*effect.offText) };
            const juce::Point<int> point (c.x, effect.y + 13);
            ASSERT_EQ (panel.getComponentAt (point), targets[(int)c.target]) << "what lies at the point";
            ASSERT_EQ (panel.*effect.off, !c.onBefore);

            panel.heartbeatTimer->stopTimer();
            model().clearRecord();
            if (c.pressOnly)
                press (point);
            else
                click (point);

            const bool onAfter = c.toggles ? !c.onBefore : c.onBefore;
            EXPECT_EQ (hexOf (model().receivedReports()),
                       hexOf (c.toggles ? Reports{ effect.frame (onAfter), effect.query } : Reports{}));
            EXPECT_EQ (panel.*effect.off, !onAfter);
            EXPECT_EQ ((panel.*effect.knob).getBounds(), knobBounds (onAfter, effect.y));
            EXPECT_EQ (panel.heartbeatTimer->getTimerInterval(), c.toggles ? 60 : 0);

            if (c.pressOnly)
            {
                model().clearRecord();
                release (point);
                EXPECT_TRUE (model().receivedReports().empty()) << "the release sends nothing more";
                EXPECT_EQ (panel.*effect.off, !onAfter);
            }
        }
}

TEST_F (PanelTest, MuteButtonClicksSendMuteOnAndOffAndSwapTheImages)
{
    const juce::Point<int> muteCentre (63, 98);
    for (const bool mutedAtStart : { false, true })
    {
        SCOPED_TRACE (mutedAtStart ? "muted at start" : "not muted at start");
        destroyPanel();
        model().setParameter (group::microphone, param::mute, mutedAtStart ? 1 : 0);
        auto& panel = makePanel();
        showOnDesktop();
        ASSERT_EQ (panel.getComponentAt (muteCentre), &panel.muteButton);

        for (const bool mutedBefore : { mutedAtStart, !mutedAtStart })
        {
            SCOPED_TRACE (mutedBefore ? "click while muted" : "click while not muted");
            panel.heartbeatTimer->stopTimer();
            model().clearRecord();
            click (muteCentre);

            EXPECT_EQ (hexOf (model().receivedReports()), hexOf ({ muteFrame (!mutedBefore), micQuery }));
            EXPECT_EQ (panel.muted, !mutedBefore);
            EXPECT_EQ (model().parameter (group::microphone, param::mute), mutedBefore ? 0 : 1);
            expectMuteImages (panel, !mutedBefore);
            EXPECT_EQ (panel.heartbeatTimer->getTimerInterval(), 60);
        }
    }
}

TEST_F (PanelTest, InfoButtonShowsThePanelAboveTheCatcherAndTheCatcherHidesBoth)
{
    auto& panel = makePanel();
    showOnDesktop();
    const int childrenBefore = panel.getNumChildComponents();
    const juce::Point<int> infoButtonCentre (581, 18);
    const juce::Point<int> besideThePanel (100, 600);
    model().clearRecord();

    click (infoButtonCentre);
    ASSERT_EQ (panel.getNumChildComponents(), childrenBefore + 2);
    EXPECT_EQ (panel.getChildComponent (childrenBefore), &panel.clickCatcher);
    EXPECT_EQ (panel.getChildComponent (childrenBefore + 1), &panel.infoPanel);
    EXPECT_TRUE (panel.clickCatcher.isVisible());
    EXPECT_TRUE (panel.infoPanel.isVisible());
    EXPECT_TRUE (panel.infoPanelShown);
    EXPECT_EQ (panel.getComponentAt (infoButtonCentre), &panel.clickCatcher) << "the catcher covers the info button";

    click (besideThePanel);
    EXPECT_FALSE (panel.clickCatcher.isVisible());
    EXPECT_FALSE (panel.infoPanel.isVisible());
    EXPECT_FALSE (panel.infoPanelShown);

    // Shown again: both keep their places.
    click (infoButtonCentre);
    EXPECT_TRUE (panel.infoPanel.isVisible());
    EXPECT_TRUE (panel.clickCatcher.isVisible());
    EXPECT_EQ (panel.getNumChildComponents(), childrenBefore + 2);
    EXPECT_EQ (panel.getChildComponent (childrenBefore + 1), &panel.infoPanel);

    panel.toggleInfoPanel();
    EXPECT_FALSE (panel.infoPanelShown);
    EXPECT_FALSE (panel.infoPanel.isVisible());
    EXPECT_FALSE (panel.clickCatcher.isVisible());

    panel.hideInfoPanel();
    EXPECT_FALSE (panel.infoPanelShown);
    EXPECT_FALSE (panel.infoPanel.isVisible());

    EXPECT_TRUE (model().receivedReports().empty()) << "the information panel never talks to the device";
}

// ---- synchronisation

TEST_F (PanelTest, SyncFromDeviceSetsTheControlsAndResendsEachSwitchState)
{
    struct Case
    {
        const char* name;
        DeviceState before; // when the panel is built
        DeviceState after;  // when syncFromDevice runs
        std::string statusLine;
        Reports switchFrames;
        Lines switchLines;
        std::vector<int> sliders;
        bool muted, noiseOn, reverbOn;
    };
    const Case cases[] = {
        { "the factory settings with mute and noise reduction on",
          {},
          { 1, 2662, -2000, 60, 1, 0, 70 },
          "0 1 65 78 20 1 0 70 ",
          { muteFrame (true), micQuery, noiseFrame (true), noiseQuery, reverbFrame (false), reverbQuery },
          { "258", "open Mic Noise Suppressor success", "sendMessage GainSlider success",
            "sendMessage ReverbSlider success" },
          { 65, 78, 20, 70 },
          true,
          true,
          false },
        { "mute and noise reduction off, reverberation on, every slider at its top",
          { 1, 2662, -2000, 60, 1, 1, 70 },
          { 0, 4096, 0, 300, 0, 1, 100 },
          "0 0 100 100 100 0 1 100 ",
          { muteFrame (false), micQuery, noiseFrame (false), noiseQuery, reverbFrame (true), reverbQuery },
          { "close Mic Noise Suppressor success", "sendMessage NoiseSlider success", "sendMessage GainSlider success" },
          { 100, 100, 100, 100 },
          false,
          false,
          true },
        { "noise reduction reported as 2 keeps its switch on and sends nothing for it",
          { 0, 2662, -2000, 60, 1, 0, 70 },
          { 0, 2662, -2000, 60, 2, 0, 70 },
          "0 0 65 78 20 2 0 70 ",
          { muteFrame (false), micQuery, reverbFrame (false), reverbQuery },
          { "close Mic Noise Suppressor success", "sendMessage ReverbSlider success" },
          { 65, 78, 20, 70 },
          false,
          true,
          false },
        { "noise reduction reported as 2 keeps its switch off",
          {},
          { 0, 2662, -2000, 60, 2, 1, 70 },
          "0 0 65 78 20 2 1 70 ",
          { muteFrame (false), micQuery, reverbFrame (true), reverbQuery },
          { "close Mic Noise Suppressor success", "sendMessage GainSlider success" },
          { 65, 78, 20, 70 },
          false,
          false,
          true },
        { "no switch state of 0 or 1: nothing sent, the heartbeat restarted all the same",
          {},
          { 2, 2662, -2000, 60, 2, 2, 70 },
          "0 2 65 78 20 2 2 70 ",
          {},
          {},
          { 65, 78, 20, 70 },
          false,
          false,
          false },
        { "mute and reverberation reported as 2 keep their states",
          { 1, 2662, -2000, 60, 0, 1, 70 },
          { 2, 0, -9000, 0, 1, 2, 0 },
          "0 2 1 0 0 1 2 0 ",
          { noiseFrame (true), noiseQuery },
          { "sendMessage GainSlider success" },
          { 1, 0, 0, 0 },
          true,
          true,
          true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        destroyPanel();
        apply (model(), c.before);
        auto& panel = makePanel();
        const auto muteImageBefore = panel.muteButton.getNormalImage();
        SliderNotifications notifications;
        panel.gainSlider.addListener (&notifications);

        apply (model(), c.after);
        panel.heartbeatTimer->stopTimer();
        model().clearRecord();
        log().clear();
        panel.syncFromDevice();

        EXPECT_EQ (hexOf (model().receivedReports()), hexOf (join ({ statusQueries, c.switchFrames })));
        EXPECT_EQ (log().lines(), joinLines ({ { c.statusLine }, c.switchLines }));
        EXPECT_EQ (sliderValues (panel), c.sliders);
        expectSwitches (panel, c.muted, c.noiseOn, c.reverbOn);
        if (c.after.mute == 0 || c.after.mute == 1)
            expectMuteImages (panel, c.muted);
        else
            EXPECT_TRUE (panel.muteButton.getNormalImage() == muteImageBefore);
        EXPECT_EQ (panel.deviceStatus[2], c.sliders[0]);
        EXPECT_EQ (panel.heartbeatTimer->getTimerInterval(), 60);

        EXPECT_EQ (notifications.count, 0) << "the sliders notify later, from the message loop";
        panel.gainSlider.removeListener (&notifications);
    }
}

// ---- removal and arrival

TEST_F (PanelWithUdev, RemovalOnlyLogsAndArrivalReopensResynchronisesAndRestartsThePacer)
{
    auto& panel = makePanel();
    auto* const firstHandle = hid->hidDevice;
    ASSERT_NE (firstHandle, nullptr);

    // The microphone is unplugged: the announcement changes nothing, the heartbeat tells.
    microphone().vanish();
    model().clearRecord();
    log().clear();
    ASSERT_TRUE (announce ("remove"));
    EXPECT_EQ (slice (log().lines(), "start_test!!!!!!!!!", "HidDeviceChangeCallback:1"),
               (Lines{ "start_test!!!!!!!!!", "1===========", "65281----9----1", "HidDeviceChangeCallback:1" }));
    EXPECT_EQ (hid->hidDevice, firstHandle);
    EXPECT_TRUE (model().receivedReports().empty());
    EXPECT_TRUE (panel.zarvoTimer->isTimerRunning());
    EXPECT_TRUE (panel.dectorTimer->isTimerRunning());
    EXPECT_TRUE (panel.heartbeatTimer->isTimerRunning());
    expectSwitches (panel, false, false, false);

    panel.heartbeatTimer->stopTimer();
    panel.heartbeatTimer->timerCallback();
    EXPECT_EQ (panel.heartbeat, -1);

    // It comes back changed; its arrival brings the panel up to date.
    apply (model(), { 1, 1024, -4500, 150, 1, 1, 33 });
    model().setDeviceInfo ("Q7TX", "V2.0.1");
    microphone().comeBack();
    panel.heartbeatTimer->startTimer (60);
    panel.zarvoTimer->stopTimer(); // so that the arrival's restart shows
    model().clearRecord();
    log().clear();
    ASSERT_TRUE (announce ("add"));

    EXPECT_EQ (slice (log().lines(), "start_test!!!!!!!!!", "HidDeviceChangeCallback:0"),
               joinLines ({ { "start_test!!!!!!!!!", "0===========" },
                            openingLines (true),
                            { "0 1 26 50 50 1 1 33 ", "258", "open Mic Noise Suppressor success",
                              "sendMessage GainSlider success", "sendMessage GainSlider success" },
                            deviceInfoLines ("81 55 84 88 32 86 50 46 48 46 49 0 ", "Q7TX", "V2.0.1"),
                            { "65281----9----0", "HidDeviceChangeCallback:0" } }));
    EXPECT_EQ (hexOf (withoutHeartbeatTicks (model().receivedReports())),
               hexOf (join ({ { heartbeatQuery },
                              statusQueries,
                              { muteFrame (true), micQuery, noiseFrame (true), noiseQuery, reverbFrame (true),
                                reverbQuery, startupFrame, micQuery, infoQuery } })));

    ASSERT_NE (hid->hidDevice, nullptr);
    EXPECT_NE (hid->hidDevice, firstHandle);
    EXPECT_EQ (sliderValues (panel), (std::vector<int>{ 26, 50, 50, 33 }));
    expectSwitches (panel, true, true, true);
    const auto texts = labelTexts (panel.infoPanel);
    EXPECT_TRUE (contains (texts, "Q7TX"));
    EXPECT_TRUE (contains (texts, "V2.0.1"));
    EXPECT_EQ (panel.zarvoTimer->getTimerInterval(), 10);

    panel.heartbeatTimer->stopTimer();
    panel.heartbeatTimer->timerCallback();
    EXPECT_EQ (panel.heartbeat, reportLength + 1) << "the new handle reaches the microphone";
}

TEST_F (PanelWithUdev, WithoutDeviceAtStartALaterArrivalBringsThePanelUp)
{
    withoutMicrophone();
    auto& panel = makePanel();
    ASSERT_EQ (hid->hidDevice, nullptr);

    apply (model(), { 1, 2662, -2000, 60, 1, 0, 70 });
    hid::linux_layer::setEnumerationSource (microphone().enumerationSource());
    model().clearRecord();
    log().clear();
    ASSERT_TRUE (announce ("add"));

    ASSERT_NE (hid->hidDevice, nullptr);
    EXPECT_EQ (hexOf (withoutHeartbeatTicks (model().receivedReports())),
               hexOf (join ({ { heartbeatQuery },
                              statusQueries,
                              { muteFrame (true), micQuery, noiseFrame (true), noiseQuery, reverbFrame (false),
                                reverbQuery, startupFrame, micQuery, infoQuery } })));
    EXPECT_EQ (sliderValues (panel), (std::vector<int>{ 65, 78, 20, 70 }));
    expectSwitches (panel, true, true, false);
    const auto texts = labelTexts (panel.infoPanel);
    EXPECT_TRUE (contains (texts, "Q7TR"));
    EXPECT_TRUE (contains (texts, "V1.2.0"));
    EXPECT_EQ (panel.zarvoTimer->getTimerInterval(), 10);
    EXPECT_EQ (panel.heartbeatTimer->getTimerInterval(), 60);
}

TEST_F (PanelTest, ArrivalShowsExactlyTheNewInformationUpToItsFirstZeroByte)
{
    struct Case
    {
        const char* name;
        std::string model;
        unsigned char separator;
        std::string firmware;
        std::string bytesLine; // what readDeviceInfo logs
        Lines shown;
    };
    const Case cases[] = {
        { "a shorter firmware after a longer one",
          "Q7TR",
          ' ',
          "V1.3",
          "81 55 84 82 32 86 49 46 51 0 0 0 ",
          { "Q7TR", "V1.3" } },
        { "a zero inside the model leaves the model short and the firmware empty",
          std::string ("Q7\0X", 4),
          ' ',
          "V2.0.1",
          "81 55 0 88 32 86 50 46 48 46 49 0 ",
          { "Q7", "" } },
        { "a zero at the separator leaves the firmware empty",
          "Q7TX",
          '\0',
          "V2.0.1",
          "81 55 84 88 0 86 50 46 48 46 49 0 ",
          { "Q7TX", "" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        destroyPanel();
        model().setDeviceInfo ("Q7TR", "V1.2.0");
        auto& panel = makePanel();
        ASSERT_EQ (shownInformation (panel), (Lines{ "Q7TR", "V1.2.0" }));
        stopTimers();

        model().setDeviceInfo (c.model, c.firmware, c.separator);
        log().clear();
        deliverDeviceChange (false);

        const auto lines = log().lines();
        const auto first = std::find (lines.begin(), lines.end(), "ZarvoHid=============================");
        ASSERT_GE (std::distance (first, lines.end()), 7) << "no information read";
        EXPECT_EQ (Lines (first, first + 7), deviceInfoLines (c.bytesLine, c.shown[0], c.shown[1]));
        EXPECT_EQ (shownInformation (panel), c.shown);
    }
}

TEST_F (PanelTest, AnArrivalWhoseOpeningFailsRunsTheRestAndTheNextOneBringsThePanelUp)
{
    struct Case
    {
        const char* name;
        bool handleHeld;
        Lines senderLines;      // the synchronisation's three toggles
        Reports sentOnTheStale; // what the remaining steps send on the handle held, in order
    };
    const Case cases[] = {
        { "no handle was ever held",
          false,
          { "unable to open device ", "unable to open device ", "unable to open device " },
          {} },
        { "the removed device's handle is still held",
          true,
          { "close Mic Noise Suppressor success", "sendMessage NoiseSlider success",
            "sendMessage ReverbSlider success" },
          join ({ statusQueries,
                  { muteFrame (false), micQuery, noiseFrame (false), noiseQuery, reverbFrame (false), reverbQuery,
                    startupFrame, micQuery, infoQuery } }) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        destroyPanel();
        apply (model(), {});
        model().setDeviceInfo ("Q7TR", "V1.2.0");
        // Unplugged before the panel is built, or after it has opened the microphone.
        microphone().comeBack();
        if (!c.handleHeld)
            microphone().vanish();
        auto& panel = makePanel();
        microphone().vanish();
        auto* const heldHandle = hid->hidDevice;
        ASSERT_EQ (heldHandle != nullptr, c.handleHeld);
        stopTimers();
        panel.heartbeatTimer->timerCallback();
        ASSERT_EQ (panel.heartbeat, -1);
        ASSERT_TRUE (paintedMasked (panel));

        // Controls away from what a synchronisation without device gives.
        for (auto* slider :
             { &panel.gainSlider, &panel.noiseSlider, &panel.reverbDepthSlider, &panel.reverbTimeSlider })
            slider->setValue (50, juce::dontSendNotification);
        panel.toggleMute();
        panel.toggleNoiseReduction();
        panel.toggleReverb();
        expectSwitches (panel, true, true, true);

        // An arrival while the microphone cannot be opened.
        stopTimers();
        model().clearRecord();
        log().clear();
        deliverDeviceChange (false);

        EXPECT_EQ (log().lines(), joinLines ({ { "start_test!!!!!!!!!", "0===========" },
                                               openingLines (false),
                                               { "0 0 1 100 0 0 0 0 " },
                                               c.senderLines,
                                               deviceInfoLines ("0 0 0 0 0 0 0 0 0 0 0 0 ", "", ""),
                                               { "65281----9----0", "HidDeviceChangeCallback:0" } }));
        EXPECT_EQ (hexOf (model().refusedReports()), hexOf (c.sentOnTheStale));
        EXPECT_TRUE (model().transfers().empty());
        EXPECT_EQ (hid->hidDevice, heldHandle);
        expectArrived (panel, { 1, 100, 0, 0 }, false, { "", "" });

        stopTimers();
        panel.heartbeatTimer->timerCallback();
        EXPECT_EQ (panel.heartbeat, -1);
        EXPECT_TRUE (paintedMasked (panel));

        // The microphone is back, changed; its arrival brings the panel up.
        apply (model(), { 1, 1024, -4500, 150, 1, 1, 33 });
        model().setDeviceInfo ("Q7TX", "V2.0.1");
        microphone().comeBack();
        log().clear();
        deliverDeviceChange (false);

        ASSERT_NE (hid->hidDevice, nullptr);
        EXPECT_NE (hid->hidDevice, heldHandle);
        expectArrived (panel, { 26, 50, 50, 33 }, true, { "Q7TX", "V2.0.1" });

        // The mask stays until the next heartbeat, which reaches the microphone and lifts it.
        stopTimers();
        EXPECT_TRUE (paintedMasked (panel));
        panel.heartbeatTimer->timerCallback();
        EXPECT_EQ (panel.heartbeat, reportLength + 1);
        EXPECT_FALSE (paintedMasked (panel));
    }
}

// ---- destruction

TEST_F (PanelWithUdev, DestructionStopsTheHeartbeatFirstLogsBeforeAnyMemberGoesAndLeavesTheDeviceOpen)
{
    auto& panel = makePanel();
    auto* const p = &panel;
    panel.myTimer->startTimer (60);
    panel.dectorTimer->maskTimer->startTimer (10);
    ASSERT_TRUE (panel.heartbeatTimer->isTimerRunning() && panel.zarvoTimer->isTimerRunning() &&
                 panel.dectorTimer->isTimerRunning());
    auto* const handle = hid->hidDevice;

    struct Seen
    {
        std::string line;
        bool heartbeatRunning, othersRunning, membersAlive;
    };
    std::vector<Seen> seen;
    std::size_t linesWhenTheFirstChildWent = 0;
    bool childGone = false;
    DeletionProbe probe (
        [&]
        {
            if (!childGone)
                linesWhenTheFirstChildWent = seen.size();
            childGone = true;
        });
    panel.clickCatcher.addComponentListener (&probe); // the last child member: the first to go
    {
        LineWatcher watcher (
            [&] (const std::string& line)
            {
                if (childGone)
                {
                    seen.push_back ({ line, false, false, false });
                    return;
                }
                const bool alive = p->zarvoTimer && p->buttonProxy && p->myTimer && p->heartbeatTimer &&
                                   p->labelProxy && p->dectorTimer && p->dectorTimer->maskTimer && p->deviceStatus &&
                                   p->meterSegments.size() == 24 && p->m_mask.size() == 24;
                seen.push_back ({ line, alive && p->heartbeatTimer->isTimerRunning(),
                                  alive && p->zarvoTimer->isTimerRunning() && p->dectorTimer->isTimerRunning() &&
                                      p->myTimer->isTimerRunning() && p->dectorTimer->maskTimer->isTimerRunning(),
                                  alive });
            });
        destroyPanel();
    }

    ASSERT_GE (seen.size(), 2u);
    EXPECT_EQ (seen[0].line, destructorRun);
    EXPECT_EQ (seen[1].line, destructorEnd);
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_FALSE (seen[(size_t)i].heartbeatRunning) << "the heartbeat stops first";
        EXPECT_TRUE (seen[(size_t)i].othersRunning) << "the other timers stop only with their objects";
        EXPECT_TRUE (seen[(size_t)i].membersAlive);
    }
    EXPECT_TRUE (childGone);
    EXPECT_GE (linesWhenTheFirstChildWent, 2u);

    // The device object stays, open, and hears of device changes no more.
    EXPECT_EQ (hid->hidDevice, handle);
    EXPECT_TRUE (hid->deviceChangedSignal.empty());
    model().clearRecord();
    log().clear();
    EXPECT_EQ (hid->sendHeartbeat(), reportLength + 1);
    model().clearRecord();
    ASSERT_TRUE (announce ("add"));
    EXPECT_EQ (slice (log().lines(), "start_test!!!!!!!!!", "HidDeviceChangeCallback:0"),
               (Lines{ "start_test!!!!!!!!!", "65281----9----0", "HidDeviceChangeCallback:0" }));
    EXPECT_TRUE (model().receivedReports().empty());
    EXPECT_EQ (hid->hidDevice, handle);
}
