#include "MyImageButton.h"

#include "RecordingXdgOpen.h"

#include <gtest/gtest.h>

namespace
{
// Link buttons clicked while a recording `xdg-open` stands in for the browser.
class RecordingBrowser : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE (browser.isReady()); }

    juce::StringArray opened() const { return browser.opened(); }
    juce::StringArray waitForOpened (int count) const { return browser.waitForOpened (count); }

    static void click (juce::Button& button)
    {
        // The click is delivered through the message loop, as a real one is.
        button.triggerClick();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    }

    zarvo::test::RecordingXdgOpen browser;
};

constexpr const char* pageWithQuery = "https://www.instagram.com/zarvo.audio?igsh=MWx5bTE&utm_source=qr";
constexpr const char* pageWithoutQuery = "https://www.instagram.com/zarvo.audio";
} // namespace

TEST_F (RecordingBrowser, AClickWithoutAnAddressOpensNothing)
{
    MyImageButton neverGiven;
    MyImageButton givenAnEmptyOne;
    givenAnEmptyOne.setURL (juce::URL());

    click (neverGiven);
    click (givenAnEmptyOne);

    // Then a click that opens its page: the clicks are handled in order, so once its page has been
    // opened, any launch of the two before it has been counted.
    MyImageButton sentinel;
    sentinel.setURL (juce::URL (pageWithoutQuery));
    click (sentinel);
    EXPECT_EQ (waitForOpened (1).joinIntoString (", "), pageWithoutQuery);
    EXPECT_EQ (browser.launches(), 1);
}

TEST_F (RecordingBrowser, AClickOpensTheWholeAddressOnce)
{
    MyImageButton button;
    button.setURL (juce::URL (pageWithQuery));

    click (button);
    auto lines = waitForOpened (1);
    ASSERT_EQ (lines.size(), 1);
    EXPECT_EQ (lines[0], pageWithQuery);

    // Each click opens it again; the button stays usable. Once the second click's page has been
    // opened, a second launch of the first click would have been counted.
    click (button);
    lines = waitForOpened (2);
    ASSERT_EQ (lines.size(), 2);
    EXPECT_EQ (lines[1], pageWithQuery);
    EXPECT_EQ (browser.launches(), 2);
}

TEST_F (RecordingBrowser, ANewAddressReplacesTheOldOne)
{
    MyImageButton button;
    button.setURL (juce::URL (pageWithQuery));
    button.setURL (juce::URL ("https://space.bilibili.com/35460"));

    click (button);
    waitForOpened (1);
    // The click has been handled once its page is open, so every launch it made is counted; once
    // they have all ended, each has written its address.
    ASSERT_TRUE (browser.waitForLaunchesToEnd()) << "the launched shell did not end";
    EXPECT_EQ (opened().joinIntoString (", "), "https://space.bilibili.com/35460");
    EXPECT_EQ (browser.launches(), 1);
}

TEST_F (RecordingBrowser, AnAddressNeverRunsACommandOrExpandsAVariable)
{
    // The launch hands the address to /bin/sh inside double quotes, where "$", "`", "\\" and a
    // quote still act. The browser gets them percent-encoded instead, and nothing else runs.
    const auto marker = [this] (const char* name) { return browser.directory().getChildFile (name).getFullPathName(); };
    struct Case
    {
        juce::String address;
        juce::String opened;
        juce::String markerFile;
    };
    const Case cases[]{
        { "https://example.com/$(touch " + marker ("substitution") + ")",
          "https://example.com/%24(touch " + marker ("substitution") + ")", marker ("substitution") },
        { "https://example.com/`touch " + marker ("backticks") + "`",
          "https://example.com/%60touch " + marker ("backticks") + "%60", marker ("backticks") },
        { "https://example.com/a\" ; touch " + marker ("quote") + " ; echo \"",
          "https://example.com/a%22 ; touch " + marker ("quote") + " ; echo %22", marker ("quote") },
        { "https://example.com/$HOME\\x", "https://example.com/%24HOME%5Cx", {} },
    };

    int count = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.address);
        MyImageButton button;
        button.setURL (juce::URL (c.address));
        click (button);
        const auto lines = waitForOpened (++count);
        ASSERT_EQ (lines.size(), count);
        EXPECT_EQ (lines[count - 1], c.opened);
        if (c.markerFile.isNotEmpty())
        {
            // Once the shell has ended, all it ran is done.
            EXPECT_TRUE (browser.waitForLaunchesToEnd()) << "the launched shell did not end";
            EXPECT_FALSE (juce::File (c.markerFile).exists());
        }
    }
}

TEST (MyImageButton, TooltipHoldsTheAddressWithoutItsQuery)
{
    struct Case
    {
        const char* address;
        const char* tooltip;
    };

    const Case cases[]{
        { pageWithQuery, pageWithoutQuery },
        { "https://www.douyin.com/user/MS4wLjABAAAA", "https://www.douyin.com/user/MS4wLjABAAAA" },
        { "", "" },
    };

    for (const auto& c : cases)
    {
        MyImageButton button;
        EXPECT_EQ (button.getTooltip(), "");
        button.setURL (juce::URL (c.address));
        EXPECT_EQ (button.getTooltip(), c.tooltip) << c.address;
    }

    // Setting an address again, as every paint of the panel does, keeps the tooltip.
    MyImageButton button;
    button.setURL (juce::URL (pageWithQuery));
    button.setURL (juce::URL (pageWithQuery));
    EXPECT_EQ (button.getTooltip(), pageWithoutQuery);
}
