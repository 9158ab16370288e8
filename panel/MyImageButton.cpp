#include "MyImageButton.h"

MyImageButton::MyImageButton (const juce::String& buttonName) : juce::ImageButton (buttonName) {}

MyImageButton::~MyImageButton() = default;

void MyImageButton::setURL (const juce::URL& newURL)
{
    url = newURL;
    setTooltip (url.toString (false));
}

void MyImageButton::clicked()
{
    // The browser is only handed the address; if it cannot be opened there is nothing to tell.
    if (url.toString (true).isNotEmpty())
        url.launchInDefaultBrowser();
}
