#include "ZarvoQ7TRApplication.h"

#include "DebuggerOutput.h"
#include "DefaultSansSerif.h"
#include "MainWindow.h"

ZarvoQ7TRApplication::ZarvoQ7TRApplication() = default;

ZarvoQ7TRApplication::~ZarvoQ7TRApplication()
{
    mainWindow = nullptr;
}

const juce::String ZarvoQ7TRApplication::getApplicationName()
{
    return "ZarvoQ7TR";
}

const juce::String ZarvoQ7TRApplication::getApplicationVersion()
{
    return "1.0.0";
}

bool ZarvoQ7TRApplication::moreThanOneInstanceAllowed()
{
    return false;
}

void ZarvoQ7TRApplication::initialise (const juce::String&)
{
    // Before the window exists: the control panel's constructor writes the first diagnostic lines.
    zarvo::startDebuggerOutput();
    zarvo::setSimHeiAsDefaultSansSerif (juce::Desktop::getInstance().getDefaultLookAndFeel());
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
}

void ZarvoQ7TRApplication::shutdown()
{
    mainWindow = nullptr;
}

void ZarvoQ7TRApplication::anotherInstanceStarted (const juce::String&)
{
    // The running window stays as it is: neither raised nor changed.
}

void ZarvoQ7TRApplication::systemRequestedQuit()
{
    quit();
}
