// The application's only window: fixed size, no native title bar, a title band it paints itself
// with the maker's logo, and its own minimise and close image buttons.
#pragma once

#include "ZarvoQ7TRApplication.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class ZarvoQ7TRApplication::MainWindow : public juce::DocumentWindow
{
public:
    explicit MainWindow (juce::String name);
    ~MainWindow() override;

    void mouseDoubleClick (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void closeButtonPressed() override;

    // Routes clicks on the window's own buttons to the window.
    class ButtonListener : public juce::Button::Listener
    {
    public:
        explicit ButtonListener (MainWindow* ownerWindow) : owner (ownerWindow) {}
        void buttonClicked (juce::Button* button) override;

    private:
        MainWindow* owner;
    };

private:
    // Children of the window itself, not of the content, so that they lie in the title band. Created
    // once and kept for the window's whole life.
    juce::ImageButton* minimiseButton = nullptr;
    juce::ImageButton* closeButton = nullptr;
    // Held only so that the window can release it with the buttons.
    std::unique_ptr<ButtonListener> buttonListener;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
