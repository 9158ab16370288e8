// The dark, translucent layer the control panel lays over itself while the microphone does not
// answer: its one button takes every click on the panel but in a small corner at the top left.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A viewport used as a plain container: it views nothing and lays out its own child, so its
// content holder and scroll bars never show. Like every viewport it takes no click on its own
// area; a click is the mask's only where its button takes it.
//
// It takes the keyboard too: while it shows it holds the keyboard focus and uses up every key, so
// that no key reaches a control beneath it (a focused button acts on Return before any parent sees
// the key, and Tab would move the focus on to the controls beneath). Whoever hides it gives its
// focus away first (giveAwayKeyboardFocus): hidden with the focus, it would have the framework hand
// the focus to a control beneath, and that handover takes the window's input focus.
class MaskComponent : public juce::Viewport
{
public:
    MaskComponent();
    ~MaskComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    bool keyPressed (const juce::KeyPress& key) override;
    bool keyStateChanged (bool isKeyDown) override;
    void visibilityChanged() override;
    void parentHierarchyChanged() override;
    void focusLost (FocusChangeType cause) override;

    // To be called by the parent whenever the focus has come to one of its components from
    // elsewhere (a Tab from the title band, the window focused again): while the mask shows, it
    // takes the focus back from whatever lies beneath it.
    void focusCameBeneath();

private:
    // Whether the focus rests on a component of the parent's that the mask covers, or on the parent or
    // one of the components that hold it.
    bool focusIsBeneath() const;
    // Takes the keyboard focus, but only while the window has it already: taking it would pull the
    // input focus away from whatever application the user is typing in.
    void takeFocusWhileTheWindowHasIt();

    // Shows the mask image and swallows the clicks; it has no listener, so a click does nothing. It
    // takes no focus: a click on it gives the focus to the mask.
    juce::ImageButton maskButton{ juce::String() };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MaskComponent)
};
