// Fuzzes the information panel's reading of the 12 device-information bytes: the model and firmware
// texts it takes out of them, the lines it logs, where it places the two value labels for the
// selected language, and the two labels drawn with those texts in the panel typeface, as the
// control panel shows them.
//
// Input: 12 information bytes (missing ones are zero), then one byte that selects the language box's
// item before the bytes arrive (0 leaves it, 1 Chinese, 2 English, 3 no item), then one byte whose
// low bit asks for the two labels to be drawn.
#include "DefaultSansSerif.h"
#include "MessageViewport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

namespace
{
void check (bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf (stderr, "fuzz_info_panel: %s\n", what);
        std::abort();
    }
}

std::ostringstream logLines;

// ISO 8859-1 up to the first zero byte, as UTF-8.
juce::String latin1 (const unsigned char* bytes, int count)
{
    juce::String text;
    for (int i = 0; i < count && bytes[i] != 0; ++i)
        text += juce::String::charToString (static_cast<juce::juce_wchar> (bytes[i]));
    return text;
}

juce::ScopedJuceInitialiser_GUI* gui = nullptr;
MessageViewport* panel = nullptr;
juce::Label* modelLabel = nullptr;
juce::Label* firmwareLabel = nullptr;
juce::ComboBox* languageBox = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    std::cerr.rdbuf (logLines.rdbuf());

    // Kept for the process, like the application's GUI library, look-and-feel and panel.
    gui = new juce::ScopedJuceInitialiser_GUI();
    zarvo::setSimHeiAsDefaultSansSerif (juce::LookAndFeel::getDefaultLookAndFeel());
    panel = new MessageViewport();
    panel->setBounds (360, 13, 220, 360);

    // The panel's own children come last, in the order it added them.
    const int first = panel->getNumChildComponents() - 9;
    modelLabel = dynamic_cast<juce::Label*> (panel->getChildComponent (first + 3));
    firmwareLabel = dynamic_cast<juce::Label*> (panel->getChildComponent (first + 5));
    languageBox = dynamic_cast<juce::ComboBox*> (panel->getChildComponent (first + 7));
    check (modelLabel != nullptr && firmwareLabel != nullptr && languageBox != nullptr, "panel children not found");
    logLines.str ({});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    std::array<unsigned char, 12> info{};
    std::copy (data, data + std::min (size, info.size()), info.begin());
    const auto languageChoice = size > 12 ? data[12] % 4 : 0;
    const bool draw = size > 13 && (data[13] & 1) != 0;

    if (languageChoice == 3)
        languageBox->setSelectedId (0, juce::dontSendNotification);
    else if (languageChoice != 0)
        languageBox->setSelectedId (languageChoice, juce::dontSendNotification);
    const auto modelBefore = modelLabel->getBounds();
    const auto firmwareBefore = firmwareLabel->getBounds();

    logLines.str ({});
    panel->setDeviceInfo (info.data());

    const auto model = latin1 (info.data(), 4);
    const auto firmware = latin1 (info.data() + 5, 6);
    check (modelLabel->getText() == model, "model text");
    check (firmwareLabel->getText() == firmware, "firmware text");

    // Compared as a whole: a text may itself hold a line end, which the log passes on as it is.
    const auto frame = juce::String ("=============================\n");
    const auto expectedLog = frame + "deviceNameStr: " + model + "\n" + "deviceVersionStr: " + firmware + "\n" + frame;
    check (logLines.str() == expectedLog.toStdString(), "the four log lines");

    const int language = panel->getLanguageId();
    if (language == 1)
        check (modelLabel->getX() == 110 && firmwareLabel->getX() == 110, "Chinese value positions");
    else if (language == 2)
        check (modelLabel->getX() == 145 && firmwareLabel->getX() == 165, "English value positions");
    else
        check (modelLabel->getBounds() == modelBefore && firmwareLabel->getBounds() == firmwareBefore,
               "positions kept for another language");

    if (draw)
    {
        const auto modelImage = modelLabel->createComponentSnapshot (modelLabel->getLocalBounds());
        const auto firmwareImage = firmwareLabel->createComponentSnapshot (firmwareLabel->getLocalBounds());
        check (modelImage.getWidth() == 200 && firmwareImage.getWidth() == 200, "labels not drawn");
    }
    return 0;
}
