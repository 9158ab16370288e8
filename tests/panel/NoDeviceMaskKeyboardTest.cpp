// The keyboard under the no-device mask, in the application's main window against the virtual
// KT-Q7TR: whichever control held the focus before the microphone went away, no key then reaches a
// control of the panel (no toggle, reset, link, step or information panel), the focus never rests
// beneath the mask, and when the mask goes no control holds the focus until one is clicked. The
// window never takes the X input focus by itself. Keys and clicks go through the window's peer.
#include "MainWindow.h"
#include "PanelTest.h"
#include "PollUntil.h"
#include "RecordingXdgOpen.h"
#include "Wire.h"

#include <gtest/gtest.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

// Xlib last: its macros collide with JUCE's names.
#include "XErrors.h"

#include <X11/Xlib.h>
// X names an event type KeyPress; JUCE a class.
#undef KeyPress

using namespace zarvo;
using namespace zarvo::test;
using Bytes = MicrophoneModel::Bytes;

namespace
{
long countOf (const std::vector<std::string>& lines, const std::string& line)
{
    return std::count (lines.begin(), lines.end(), line);
}

// Where a press on a component lands, and a point well away from it, in its own coordinates.
juce::Point<int> centreOf (const juce::Component& c)
{
    return c.getLocalBounds().getCentre();
}

// What a key could have changed in the panel.
struct PanelState
{
    bool muted, noiseOff, reverbOff, infoPanelShown;
    int resetRequested, languageId;
    double gain, noise, depth, time;

    static PanelState of (BackgroundComponent& p)
    {
        return { p.muted,
                 p.noiseOff,
                 p.reverbOff,
                 p.infoPanelShown,
                 p.infoPanel.getResetRequested(),
                 p.infoPanel.getLanguageId(),
                 p.gainSlider.getValue(),
                 p.noiseSlider.getValue(),
                 p.reverbDepthSlider.getValue(),
                 p.reverbTimeSlider.getValue() };
    }

    bool operator== (const PanelState& o) const
    {
        return muted == o.muted && noiseOff == o.noiseOff && reverbOff == o.reverbOff &&
               infoPanelShown == o.infoPanelShown && resetRequested == o.resetRequested && languageId == o.languageId &&
               gain == o.gain && noise == o.noise && depth == o.depth && time == o.time;
    }
};

std::ostream& operator<< (std::ostream& out, const PanelState& s)
{
    return out << "muted " << s.muted << ", noise off " << s.noiseOff << ", reverberation off " << s.reverbOff
               << ", information panel " << s.infoPanelShown << ", reset " << s.resetRequested << ", language "
               << s.languageId << ", sliders " << s.gain << " " << s.noise << " " << s.depth << " " << s.time;
}

class NoDeviceMaskKeyboardTest : public PanelTest
{
public:
    void TearDown() override
    {
        juce::PopupMenu::dismissAllActiveMenus();
        window = nullptr;
        PanelTest::TearDown();
    }

    // A new main window beside the microphone, both effects on (their sliders take the mouse), its
    // panel settled and answered by the device, the window holding the X input focus.
    BackgroundComponent& openWindow()
    {
        window = nullptr;
        microphone().comeBack();
        model().setParameter (group::noiseReduction, param::noiseOn, 1);
        model().setParameter (group::reverb, param::reverbOn, 1);
        {
            StdoutCapture printed; // the opening's picture of the device
            window = std::make_unique<ZarvoQ7TRApplication::MainWindow> ("ZarvoQ7TR");
        }
        auto& p = closeAfterTest (panelIn (*window->getContentComponent()));
        hid = p.hid; // for the device changes the test delivers
        EXPECT_TRUE (runMessageLoopUntil (
            [&]
            {
                return p.muteImagesSet && p.heartbeat > 1 && p.noiseSlider.isEnabled() &&
                       p.reverbDepthSlider.isEnabled() && p.bilibiliButton.isShowing();
            }))
            << "the panel never settled";
        EXPECT_TRUE (focusWindow()) << "the window never got the X input focus";
        return p;
    }

    bool focusWindow() { return focusWindowOf (window->getPeer()); }

    void mouse (juce::Component& target, juce::Point<int> local, bool buttonDown)
    {
        const auto mods =
            buttonDown ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier) : juce::ModifierKeys();
        window->getPeer()->handleMouseEvent (
            juce::MouseInputSource::InputSourceType::mouse, window->getLocalPoint (&target, local).toFloat(), mods,
            juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
            juce::Time::currentTimeMillis());
    }

    void click (juce::Component& target, juce::Point<int> local)
    {
        mouse (target, local, false);
        mouse (target, local, true);
        mouse (target, local, false);
    }

    // A press that gives the control the focus, let go away from it, so that the control does not act.
    void pressAndLetGoAway (juce::Component& target, juce::Point<int> local)
    {
        mouse (target, local, false);
        mouse (target, local, true);
        const auto away = target.getLocalPoint (window.get(), juce::Point<int> (300, 420));
        mouse (target, away, true);
        mouse (target, away, false);
    }

    // A key as the window's peer hands it on: the key going down, the press, the key coming up.
    void typeKey (const juce::KeyPress& key)
    {
        auto* peer = window->getPeer();
        peer->handleKeyUpOrDown (true);
        peer->handleKeyPress (key);
        peer->handleKeyUpOrDown (false);
    }

    static std::string focusedName()
    {
        auto* focused = juce::Component::getCurrentlyFocusedComponent();
        return focused == nullptr ? std::string ("nothing")
                                  : typeid (*focused).name() + std::string (" at ") +
                                        focused->getScreenBounds().toString().toStdString();
    }

    static bool maskHoldsTheFocus (BackgroundComponent& p)
    {
        auto* focused = juce::Component::getCurrentlyFocusedComponent();
        return focused != nullptr && (focused == &p.noDeviceMask || p.noDeviceMask.isParentOf (focused));
    }

    // Runs the message loop until the pacer has ticked twice more: what the keys set going (a
    // button's click is delivered later) has happened by then. The log keeps what came before.
    bool pacerTickedTwice()
    {
        const auto ticksBefore = countOf (log().lines(), "end sleep!!!!!!!");
        return runMessageLoopUntil ([&] { return countOf (log().lines(), "end sleep!!!!!!!") >= ticksBefore + 2; });
    }

    // The window's own buttons in the title band, left to right.
    std::vector<juce::Button*> titleBandButtons()
    {
        std::vector<juce::Button*> buttons;
        for (auto* child : window->getChildren())
            if (auto* button = dynamic_cast<juce::ImageButton*> (child); button != nullptr && button->isVisible())
                buttons.push_back (button);
        std::sort (buttons.begin(), buttons.end(), [] (auto* a, auto* b) { return a->getX() < b->getX(); });
        return buttons;
    }

    static juce::Component* childOf (juce::Component& parent, const std::function<bool (juce::Component*)>& is)
    {
        for (auto* child : parent.getChildren())
            if (is (child))
                return child;
        return nullptr;
    }

    std::unique_ptr<ZarvoQ7TRApplication::MainWindow> window;
};

// Each control that takes the focus, and how a user gives it to it.
struct Holder
{
    const char* name;
    bool infoPanelOpen;
    // The control lies outside the panel, in the title band.
    bool outsideThePanel;
    // Gives the control the focus; returns it, or null when the test cannot find it.
    std::function<juce::Component*(NoDeviceMaskKeyboardTest&, BackgroundComponent&)> focus;
};
} // namespace

TEST_F (NoDeviceMaskKeyboardTest, WhateverHeldTheFocusNoKeyUnderTheMaskReachesTheControlsBeneath)
{
    RecordingXdgOpen browser;
    ASSERT_TRUE (browser.isReady());

    using Test = NoDeviceMaskKeyboardTest;
    const auto pressed = [] (auto member)
    {
        return [member] (Test& t, BackgroundComponent& p) -> juce::Component*
        {
            auto& c = p.*member;
            t.pressAndLetGoAway (c, centreOf (c));
            return &c;
        };
    };
    const auto clicked = [] (juce::Slider BackgroundComponent::*member)
    {
        return [member] (Test& t, BackgroundComponent& p) -> juce::Component*
        {
            auto& slider = p.*member;
            t.click (slider,
                     { juce::roundToInt (slider.getPositionOfValue (slider.getValue())), slider.getHeight() / 2 });
            return &slider;
        };
    };
    const auto inInfoPanel = [] (const std::function<bool (juce::Component*)>& is, juce::Point<int> at, bool letGoAway)
    {
        return [is, at, letGoAway] (Test& t, BackgroundComponent& p) -> juce::Component*
        {
            auto* c = Test::childOf (p.infoPanel, is);
            if (c == nullptr)
                return nullptr;
            if (letGoAway)
                t.pressAndLetGoAway (*c, at);
            else
            {
                // A click opens the language box's menu; the user closes it again.
                t.click (*c, at);
                if (!runMessageLoopUntil ([] { return juce::PopupMenu::dismissAllActiveMenus(); }, 5000))
                    ADD_FAILURE() << "the language box's menu never opened";
            }
            return c;
        };
    };

    const std::vector<Holder> holders = {
        { "mute button", false, false,
          [] (Test& t, BackgroundComponent& p) -> juce::Component*
          {
              // Pressed twice, so that it ends as it was.
              t.click (p.muteButton, centreOf (p.muteButton));
              t.click (p.muteButton, centreOf (p.muteButton));
              return &p.muteButton;
          } },
        { "information button", false, false, pressed (&BackgroundComponent::infoButton) },
        { "Bilibili link", false, false, pressed (&BackgroundComponent::bilibiliButton) },
        { "Xiaohongshu link", false, false, pressed (&BackgroundComponent::xiaohongshuButton) },
        { "Douyin link", false, false, pressed (&BackgroundComponent::douyinButton) },
        { "gain slider", false, false, clicked (&BackgroundComponent::gainSlider) },
        { "noise-reduction slider", false, false, clicked (&BackgroundComponent::noiseSlider) },
        { "depth slider", false, false, clicked (&BackgroundComponent::reverbDepthSlider) },
        { "time slider", false, false, clicked (&BackgroundComponent::reverbTimeSlider) },
        { "language box", true, false,
          inInfoPanel ([] (juce::Component* c) { return dynamic_cast<juce::ComboBox*> (c) != nullptr; }, { 20, 12 },
                       false) },
        // Its left end, where no text lies over it.
        { "factory-reset button", true, false,
          inInfoPanel ([] (juce::Component* c)
                       { return dynamic_cast<juce::ImageButton*> (c) != nullptr && c->getY() == 200; },
                       { 10, 14 }, true) },
        { "the window's close button, then Tab", false, true,
          [] (Test& t, BackgroundComponent&) -> juce::Component*
          {
              const auto buttons = t.titleBandButtons();
              if (buttons.empty())
                  return nullptr;
              // The rightmost: after it, Tab goes on into the window's content.
              auto* close = buttons.back();
              t.pressAndLetGoAway (*close, centreOf (*close));
              return close;
          } },
    };

    // The keys that act on the control that held the focus first, so that they meet it before a Tab
    // could move the focus on; with a title-band button focused, Tab comes first, as Return would
    // act on that button.
    const juce::KeyPress tab (juce::KeyPress::tabKey);
    const std::vector<juce::KeyPress> keys = {
        juce::KeyPress (juce::KeyPress::returnKey),
        juce::KeyPress (juce::KeyPress::spaceKey),
        juce::KeyPress (juce::KeyPress::leftKey),
        juce::KeyPress (juce::KeyPress::rightKey),
        juce::KeyPress (juce::KeyPress::upKey),
        juce::KeyPress (juce::KeyPress::downKey),
        tab,
        juce::KeyPress (juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier, 0),
    };

    for (const auto& holder : holders)
    {
        SCOPED_TRACE (holder.name);
        auto& p = openWindow();
        if (holder.infoPanelOpen)
        {
            click (p.infoButton, centreOf (p.infoButton));
            ASSERT_TRUE (p.infoPanelShown);
        }
        auto* focused = holder.focus (*this, p);
        ASSERT_NE (focused, nullptr) << "the control was not found";
        ASSERT_TRUE (runMessageLoopUntil ([&] { return focused->hasKeyboardFocus (false); }, 3000))
            << "the press did not give the control the focus";
        ASSERT_TRUE (runMessageLoopUntil ([&] { return p.gainDeque->empty() && p.noiseDeque->empty(); }));
        ASSERT_TRUE (pacerTickedTwice());
        const auto before = PanelState::of (p);

        microphone().vanish();
        ASSERT_TRUE (runMessageLoopUntil ([&] { return p.heartbeat == -1 && p.noDeviceMask.isShowing(); }));
        model().clearRecord();
        log().clear();

        auto typed = keys;
        if (holder.outsideThePanel)
            typed.insert (typed.begin(), tab);
        for (int round = 0; round < 3; ++round)
            for (const auto& key : typed)
            {
                SCOPED_TRACE (key.getTextDescription().toStdString());
                typeKey (key);
                EXPECT_TRUE (maskHoldsTheFocus (p)) << "the focus rests on " << focusedName();
            }
        // Then until the pacer has ticked twice more and the heartbeat has polled the unplugged device
        // again: what the keys set going has had its chance to reach the device.
        ASSERT_TRUE (pacerTickedTwice());
        ASSERT_TRUE (runMessageLoopUntil (
            [&]
            {
                const auto refused = model().refusedReports();
                return std::any_of (refused.begin(), refused.end(), wire::isPoll);
            }))
            << "the heartbeat never polled the unplugged device";

        EXPECT_EQ (PanelState::of (p), before);
        EXPECT_TRUE (p.gainDeque->empty() && p.noiseDeque->empty() && p.reverbDepthDeque->empty() &&
                     p.reverbTimeDeque->empty());
        EXPECT_EQ (browser.launches(), 0);
        // Nothing but the polls was even tried: the unplugged device refuses every write.
        for (const auto& report : model().refusedReports())
            EXPECT_TRUE (wire::isPoll (report)) << "a write other than a poll was tried: " << wire::describe (report);
        EXPECT_EQ (model().receivedReports(), std::vector<Bytes>{});
        // Nor did the log see a toggle, a reset, a drag or a send.
        for (const auto* line :
             { "open Mic Noise Suppressor", "close Mic Noise Suppressor", "sendMessage ", "Gain_silderDragStarted",
               "==Noise_silderDragStarted", "====Reverb_", "Gain Pre-processing", "ZarvoHid=====" })
            for (const auto& logged : log().lines())
                EXPECT_NE (logged.rfind (line, 0), 0u) << logged;

        // Back: the mask goes, leaving the focus with no control, and the panel takes keys once a
        // control is clicked.
        model().setParameter (group::microphone, param::gain, 1638); // reads back as 40
        microphone().comeBack();
        deliverDeviceChange (false);
        ASSERT_TRUE (runMessageLoopUntil ([&] { return p.heartbeat > 1 && !p.noDeviceMask.isVisible(); }));
        EXPECT_FALSE (p.hasKeyboardFocus (true)) << "a control of the panel holds the focus";
        ASSERT_TRUE (runMessageLoopUntil ([&] { return p.gainValueLabel.getText() == "40"; }));
        if (p.infoPanelShown)
        {
            // A click beside the information panel closes it first.
            click (p.clickCatcher, { 200, 600 });
            ASSERT_FALSE (p.infoPanelShown);
        }
        click (p.gainSlider, { juce::roundToInt (p.gainSlider.getPositionOfValue (40)), p.gainSlider.getHeight() / 2 });
        ASSERT_TRUE (p.gainSlider.hasKeyboardFocus (false));
        typeKey (juce::KeyPress (juce::KeyPress::rightKey));
        EXPECT_EQ (p.gainValueLabel.getText(), "41");
        ASSERT_TRUE (runMessageLoopUntil ([&] { return p.gainDeque->empty(); }));
        EXPECT_EQ (model().parameter (group::microphone, param::gain), 41 * 4096 / 100);
    }
    EXPECT_EQ (browser.launches(), 0);
}

TEST_F (NoDeviceMaskKeyboardTest, TheWindowNeverTakesTheInputFocusFromAnotherWindowAndTheMaskTakesItWhenItComes)
{
    auto& p = openWindow();
    click (p.muteButton, centreOf (p.muteButton));
    click (p.muteButton, centreOf (p.muteButton));
    ASSERT_TRUE (p.muteButton.hasKeyboardFocus (false));

    // Another application's window, on a connection of its own, takes the input focus.
    auto* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr);
    const auto other = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 100, 100, 0, 0, 0);
    XMapWindow (display, other);
    const auto otherHasTheFocus = [&]
    {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus (display, &focus, &revert);
        return focus == other;
    };
    ASSERT_TRUE (runMessageLoopUntil (
        [&]
        {
            XWindowAttributes attributes{};
            XGetWindowAttributes (display, other, &attributes);
            if (attributes.map_state == IsViewable)
                XSetInputFocus (display, other, RevertToParent, CurrentTime);
            XSync (display, False);
            return otherHasTheFocus();
        }))
        << "the other window never got the input focus";
    ASSERT_TRUE (runMessageLoopUntil ([&] { return !window->getPeer()->isFocused(); }));

    // The microphone goes and comes back while the user types elsewhere.
    bool keptTheFocus = true;
    const auto watching = [&] (const std::function<bool()>& done)
    {
        return runMessageLoopUntil (
            [&]
            {
                keptTheFocus = keptTheFocus && otherHasTheFocus();
                return done();
            });
    };
    microphone().vanish();
    ASSERT_TRUE (watching ([&] { return p.heartbeat == -1 && p.noDeviceMask.isShowing(); }));
    ASSERT_TRUE (pacerTickedTwice());
    EXPECT_TRUE (keptTheFocus && otherHasTheFocus()) << "the mask took the input focus from the other window";

    // Focused again, the window hands the focus back to the control that had it, and the mask takes it.
    ASSERT_TRUE (focusWindow());
    EXPECT_TRUE (runMessageLoopUntil ([&] { return maskHoldsTheFocus (p); }, 3000)) << focusedName();
    EXPECT_FALSE (p.muteButton.hasKeyboardFocus (false));
    const bool mutedBefore = p.muted;
    typeKey (juce::KeyPress (juce::KeyPress::returnKey));
    ASSERT_TRUE (pacerTickedTwice());
    EXPECT_EQ (p.muted, mutedBefore);

    // Elsewhere again, and the microphone back at once: the mask goes in a paint that comes before
    // the window has handled the loss of the input focus (no event has been read since), while the
    // framework still counts the mask as focused. It goes without taking anything.
    XSetInputFocus (display, other, RevertToParent, CurrentTime);
    XSync (display, False);
    ASSERT_TRUE (otherHasTheFocus());
    ASSERT_TRUE (maskHoldsTheFocus (p));
    microphone().comeBack();
    deliverDeviceChange (false);
    p.pollDevice();
    ASSERT_GT (p.heartbeat, 1);
    {
        juce::Image canvas (juce::Image::ARGB, 1, 1, true);
        juce::Graphics g (canvas);
        p.paint (g);
    }
    EXPECT_FALSE (p.noDeviceMask.isVisible());
    EXPECT_TRUE (otherHasTheFocus()) << "hiding the mask took the input focus from the other window";
    EXPECT_FALSE (p.hasKeyboardFocus (true)) << "a control of the panel holds the focus: " << focusedName();
    keptTheFocus = true;
    ASSERT_TRUE (watching ([&] { return p.heartbeat > 1 && !p.noDeviceMask.isVisible(); }));
    ASSERT_TRUE (pacerTickedTwice());
    EXPECT_TRUE (keptTheFocus && otherHasTheFocus()) << "the window took the input focus from the other window";

    XDestroyWindow (display, other);
    XCloseDisplay (display);
}
