#include "MyImageButton.h"

namespace
{
// The browser launch hands the address to /bin/sh inside double quotes, where "$", "`", "\" and a
// quote still act: an address could run a command or expand a variable. They are percent-encoded
// instead; a web address carries none of them unencoded but "$", which means the same encoded.
juce::String withoutShellCharacters (const juce::String& address)
{
    return address.replace ("\\", "%5C").replace ("\"", "%22").replace ("$", "%24").replace ("`", "%60");
}
} // namespace

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
    const auto address = url.toString (true);
    if (address.isNotEmpty())
        juce::URL::createWithoutParsing (withoutShellCharacters (address)).launchInDefaultBrowser();
}
