#include "MaskComponent.h"

#include "BinaryData.h"

#include <gtest/gtest.h>

namespace
{
// Paints itself white and takes clicks, as the control panel's own area does.
struct Backdrop : juce::Component
{
    void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::white); }
};

// A stand-in for the control panel: its area, a button among its controls, and the mask laid over
// both at (0, 0, 1000, 1000), as the panel places it.
class MaskOverPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Visible, as the panel is inside its window; the lookup of a click's target starts here.
        panel.setVisible (true);
        panel.setSize (620, 701);
        backdrop.setBounds (panel.getLocalBounds());
        control.setBounds (100, 100, 80, 30);
        panel.addAndMakeVisible (backdrop);
        panel.addAndMakeVisible (control);
        mask.setBounds (0, 0, 1000, 1000);
        panel.addAndMakeVisible (mask);
    }

    // The mask's button learns where its image lies only when it first paints.
    juce::Image paintOnce() { return panel.createComponentSnapshot (panel.getLocalBounds(), false); }

    bool endsAtMask (juce::Point<int> p)
    {
        auto* hit = panel.getComponentAt (p);
        return hit != nullptr && (hit == &mask || mask.isParentOf (hit));
    }

    juce::Component panel;
    Backdrop backdrop;
    juce::TextButton control{ "control" };
    MaskComponent mask;
};
} // namespace

TEST (MaskComponent, SizesItselfToThePanel)
{
    MaskComponent mask;
    EXPECT_EQ (mask.getWidth(), 620);
    EXPECT_EQ (mask.getHeight(), 675);
    EXPECT_EQ (mask.getViewedComponent(), nullptr);
}

TEST_F (MaskOverPanel, OnlyTheTopLeftCornerLetsClicksThrough)
{
    paintOnce();

    struct Case
    {
        juce::Point<int> point;
        juce::Component* beneath; // what the click reaches when the mask lets it through
        bool passes;
    };

    const Case cases[]{
        // The transparent curve: 12 pixels along the top edge and 12 down the left edge.
        { { 0, 0 }, &backdrop, true },
        { { 11, 0 }, &backdrop, true },
        { { 0, 11 }, &backdrop, true },
        { { 12, 0 }, &backdrop, false },
        { { 0, 12 }, &backdrop, false },
        { { 6, 6 }, &backdrop, false },
        // Away from that corner, everywhere on the visible panel.
        { { 40, 0 }, &backdrop, false },
        { { 0, 40 }, &backdrop, false },
        { { 310, 350 }, &backdrop, false },
        { { 619, 0 }, &backdrop, false },
        { { 0, 700 }, &backdrop, false },
        { { 619, 700 }, &backdrop, false },
        // A control beneath the mask cannot be reached.
        { { 120, 110 }, &control, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.point.toString());

        if (c.passes)
            EXPECT_EQ (panel.getComponentAt (c.point), c.beneath);
        else
            EXPECT_TRUE (endsAtMask (c.point));
    }
}

TEST_F (MaskOverPanel, TheCornerLetsAClickThroughExactlyWhereItsPixelIsAtMostHalfOpaque)
{
    paintOnce();
    const auto image = juce::ImageCache::getFromMemory (BinaryData::mask_png, BinaryData::mask_pngSize);
    ASSERT_TRUE (image.isValid());

    // The image is stretched over the mask's 1000 x 1000 button: a click asks the pixel it lands
    // on. Swept a little beyond the transparent corner, so that the opaque edge is crossed too.
    int nearThreshold = 0;
    for (int y = 0; y < 16; ++y)
    {
        for (int x = 0; x < 16; ++x)
        {
            const int alpha = image.getPixelAt (x * image.getWidth() / 1000, y * image.getHeight() / 1000).getAlpha();
            nearThreshold += (alpha > 128 && alpha <= 160) ? 1 : 0;
            const bool passes = panel.getComponentAt (x, y) == &backdrop;
            EXPECT_EQ (passes, alpha <= 128) << "at (" << x << ", " << y << "), alpha " << alpha;
            if (!passes)
            {
                EXPECT_TRUE (endsAtMask ({ x, y }));
            }
        }
    }
    // The corner's soft edge holds alphas just above half: a looser threshold would let them through.
    EXPECT_GT (nearThreshold, 0);
}

TEST_F (MaskOverPanel, OpensItsCornerOnlyOnceItHasPaintedAndLetsEverythingThroughOnceHidden)
{
    // Until it has painted, its button has no image, and a button without one takes every click.
    EXPECT_TRUE (endsAtMask ({ 120, 110 }));
    EXPECT_TRUE (endsAtMask ({ 0, 0 }));

    paintOnce();
    EXPECT_TRUE (endsAtMask ({ 120, 110 }));
    EXPECT_EQ (panel.getComponentAt (0, 0), &backdrop);

    // Hidden again, the controls beneath take clicks at once.
    mask.setVisible (false);
    EXPECT_EQ (panel.getComponentAt (120, 110), &control);
    EXPECT_EQ (panel.getComponentAt (310, 350), &backdrop);
}

TEST_F (MaskOverPanel, DarkensThePanelThatShowsThrough)
{
    paintOnce();
    const auto shot = paintOnce();

    // The near-black image at 80% opacity over white: 0.8 * 30 + 0.2 * 255 = 75 in each channel,
    // with no overlay colour mixed in.
    for (auto p : { juce::Point<int> (310, 350), juce::Point<int> (619, 700), juce::Point<int> (40, 0) })
    {
        SCOPED_TRACE (p.toString());
        const auto colour = shot.getPixelAt (p.x, p.y);
        EXPECT_NEAR (colour.getRed(), 75, 3);
        EXPECT_NEAR (colour.getGreen(), 75, 3);
        EXPECT_NEAR (colour.getBlue(), 75, 3);
    }

    // The very corner stays close to the white beneath.
    EXPECT_GT (shot.getPixelAt (0, 0).getRed(), 200);
}
