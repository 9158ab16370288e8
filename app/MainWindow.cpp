#include "MainWindow.h"

#include "BinaryData.h"
#include "MainComponent.h"
#include "WindowIcon.h"

#include <algorithm>
#include <cmath>

namespace
{
const juce::Colour titleBandColour (0xFFFFAB21);
const juce::Colour windowColour (0xFF000000);
// Alpha 1 of 255: leaves the button images practically untinted.
const juce::Colour buttonOverlayColour (0x01C83636);

juce::Image imageFrom (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

void setButtonImages (juce::ImageButton& button, const juce::Image& normal, const juce::Image& over,
                      const juce::Image& down)
{
    button.setImages (false, true, true, normal, 1.0f, buttonOverlayColour, over, 1.0f, buttonOverlayColour, down, 1.0f,
                      buttonOverlayColour, 0.0f);
}
} // namespace

// The order of these steps fixes the geometry: the window fits itself to its content while the
// title bar still has the framework's default height of 26, is centred at that size (622 x 765),
// and only then is the title bar raised to 62 without resizing the window.
ZarvoQ7TRApplication::MainWindow::MainWindow (juce::String name)
    : DocumentWindow (
          name,
          juce::Desktop::getInstance().getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
          DocumentWindow::allButtons, true)
{
    minimiseButton = new juce::ImageButton();
    closeButton = new juce::ImageButton();

    Component::addAndMakeVisible (minimiseButton);
    Component::addAndMakeVisible (closeButton);

    buttonListener = std::make_unique<ButtonListener> (this);
    minimiseButton->addListener (buttonListener.get());
    closeButton->addListener (buttonListener.get());

    setUsingNativeTitleBar (false);
    setContentOwned (new MainComponent(), true);
    setResizable (false, false);
    centreWithSize (getWidth(), getHeight());
    setTitleBarHeight (62);
    // No name: the native title, and with it the taskbar entry, carries no text.
    setName ("");
    setVisible (true);
    setTitleBarButtonsRequired (DocumentWindow::minimiseButton | DocumentWindow::closeButton, false);
    setResizable (false, false);

    // Steps above recreate the native window; an icon given earlier would be lost with it.
    zarvo::setWindowIcon (*this);
}

ZarvoQ7TRApplication::MainWindow::~MainWindow()
{
    delete minimiseButton;
    delete closeButton;
}

void ZarvoQ7TRApplication::MainWindow::mouseDoubleClick (const juce::MouseEvent&)
{
    // A double-click on the title band never maximises the window.
}

void ZarvoQ7TRApplication::MainWindow::paint (juce::Graphics& g)
{
    juce::Thread::sleep (1);
    const auto t0 = juce::Time::getMillisecondCounter();

    const auto minimiseNormal = imageFrom (BinaryData::minimiseBtn01_png, BinaryData::minimiseBtn01_pngSize);
    const auto minimiseOver = imageFrom (BinaryData::minimiseBtn02_png, BinaryData::minimiseBtn02_pngSize);
    const auto minimiseDown = imageFrom (BinaryData::minimiseBtn03_png, BinaryData::minimiseBtn03_pngSize);
    const auto closeNormal = imageFrom (BinaryData::closeBtn01_png, BinaryData::closeBtn01_pngSize);
    const auto closeOver = imageFrom (BinaryData::closeBtn02_png, BinaryData::closeBtn02_pngSize);
    const auto closeDown = imageFrom (BinaryData::closeBtn03_png, BinaryData::closeBtn03_pngSize);

    setButtonImages (*minimiseButton, minimiseNormal, minimiseOver, minimiseDown);
    setButtonImages (*closeButton, closeNormal, closeOver, closeDown);

    // Also the request for the next paint: the window, and everything in it, repaints continuously.
    setBackgroundColour (windowColour);

    const auto area = getTitleBarArea();
    const auto logo = imageFrom (BinaryData::logo_png, BinaryData::logo_pngSize);
    const auto active = isActiveWindow();

    g.setColour (titleBandColour);
    g.fillRect (0, 0, 630, 62);

    const juce::Font font ((float)area.getHeight() * 0.65f);
    g.setFont (font);

    const auto textWidth = (int)std::ceil (font.getStringWidthFloat (getName()));
    const auto iconHeight = (int)font.getHeight();
    const auto iconWidth = logo.isValid() ? logo.getWidth() * iconHeight / logo.getHeight() + 4 : 0;

    const auto width = std::min (534, textWidth + iconWidth);
    auto x = 6;
    if (x + width > 540)
        x = 540 - width;

    g.setOpacity (active ? 1.0f : 0.6f);
    g.drawImageWithin (logo, x, (area.getHeight() - iconHeight) / 2, iconWidth, iconHeight,
                       juce::RectanglePlacement::centred);

    juce::Logger::outputDebugString ("Main::paint time: " + juce::String (juce::Time::getMillisecondCounter() - t0));
}

void ZarvoQ7TRApplication::MainWindow::resized()
{
    DocumentWindow::resized();

    // The framework's buttons exist but never show: the window has its own. A change of
    // look-and-feel creates them anew and lays the window out again, which lands here.
    for (auto* button : { getMinimiseButton(), getMaximiseButton(), getCloseButton() })
        if (button != nullptr)
            button->setVisible (false);

    if (minimiseButton != nullptr)
        minimiseButton->setBounds (510, 18, 30, 30);
    if (closeButton != nullptr)
        closeButton->setBounds (571, 18, 30, 30);
}

void ZarvoQ7TRApplication::MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}

void ZarvoQ7TRApplication::MainWindow::ButtonListener::buttonClicked (juce::Button* button)
{
    if (button == owner->minimiseButton)
        owner->minimiseButtonPressed();
    if (button == owner->closeButton)
        owner->closeButtonPressed();
}
