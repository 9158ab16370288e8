// The application object: name, version, the single-instance rule, and the lifetime of the one
// main window.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class ZarvoQ7TRApplication : public juce::JUCEApplication
{
public:
    class MainWindow;

    ZarvoQ7TRApplication();
    ~ZarvoQ7TRApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

private:
    std::unique_ptr<MainWindow> mainWindow;
};
