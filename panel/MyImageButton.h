// An image button that holds a web address and opens it in the user's default browser when it is
// clicked: the control panel's links to the maker's social-media pages.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MyImageButton : public juce::ImageButton
{
public:
    explicit MyImageButton (const juce::String& buttonName = juce::String());
    ~MyImageButton() override;

    // Also shows the address, without its query parameters, as the button's tooltip text.
    void setURL (const juce::URL& newURL);

    void clicked() override;

private:
    juce::URL url;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MyImageButton)
};
