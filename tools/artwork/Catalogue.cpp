#include "Catalogue.h"

#include "ImageOps.h"
#include "Marks.h"
#include "StrokeLettering.h"

namespace artwork
{
namespace
{
using juce::Colour;
using juce::Image;
using juce::Path;
using juce::Rectangle;

Colour grey (int level)
{
    return Colour ((juce::uint8)level, (juce::uint8)level, (juce::uint8)level);
}

const Colour white = grey (255);
const Colour lightGrey = grey (230);
const Colour orange (255, 171, 33);

Rectangle<float> bounds (const Image& image)
{
    return image.getBounds().toFloat();
}

std::function<void (Image&)> fillPath (Colour colour, std::function<Path (Rectangle<float>)> shape)
{
    return [colour, shape] (Image& image)
    {
        juce::Graphics g (image);
        g.setColour (colour);
        g.fillPath (shape (bounds (image)));
    };
}

std::function<void (Image&)> fillAll (Colour colour)
{
    return [colour] (Image& image) { image.clear (image.getBounds(), colour); };
}

std::function<void (Image&)> roundedBar (Colour colour, float cornerSize)
{
    return [colour, cornerSize] (Image& image)
    {
        juce::Graphics g (image);
        g.setColour (colour);
        g.fillRoundedRectangle (bounds (image), cornerSize);
    };
}

std::function<void (Image&)> roundedBarWithMarks (Colour bar, Colour marks)
{
    return [bar, marks] (Image& image)
    {
        const auto area = bounds (image);
        juce::Graphics g (image);
        g.setColour (bar);
        g.fillRoundedRectangle (area, area.getHeight() * 0.5f);
        g.setColour (marks);
        // "I" on the left half, "O" on the right half.
        g.fillRoundedRectangle (area.getWidth() * 0.25f - 1.0f, 8.0f, 2.0f, 10.0f, 1.0f);
        Path ring;
        ring.addEllipse (area.getWidth() * 0.75f - 4.5f, 8.5f, 9.0f, 9.0f);
        g.fillPath (stroked (ring, 2.0f));
    };
}

std::function<void (Image&)> microphoneDisc (Colour disc, bool muted)
{
    return [disc, muted] (Image& image)
    {
        const auto area = bounds (image);
        juce::Graphics g (image);
        g.setColour (disc);
        g.fillEllipse (area);
        g.setColour (juce::Colours::black);
        g.fillPath (microphone (area.reduced (11.0f, 8.0f), 2.0f));
        if (muted)
            g.fillPath (strikeThrough (area.reduced (10.0f), 2.4f));
    };
}

std::function<void (Image&)> redBookSquare (Colour colour)
{
    return [colour] (Image& image)
    {
        const auto area = bounds (image);
        {
            juce::Graphics g (image);
            g.setColour (colour);
            g.fillRoundedRectangle (area.reduced (0.5f), 4.5f);
        }
        cutOut (image, strokedLettering ("RED", 5.5f, 1.4f, 0.28f, area.getCentre()));
    };
}

void facebook (Image& image, Colour colour)
{
    const auto area = bounds (image);
    {
        juce::Graphics g (image);
        g.setColour (colour);
        g.fillPath (facebookDisc (area));
    }
    cutOut (image, facebookLetter (area));
}

// Mask of the information panel and of the no-device layer: near-black with rounded corners.
void mask (Image& image)
{
    juce::Graphics g (image);
    g.setColour (grey (30));
    g.fillRoundedRectangle (bounds (image), 10.0f);
}

// The application icon: the orange of the title bar, a white microphone. Drawn at any size.
void appIcon (Image& image)
{
    const auto area = bounds (image);
    const float s = area.getWidth();
    juce::Graphics g (image);
    g.setColour (orange);
    g.fillRoundedRectangle (area, s * 0.22f);
    g.setColour (white);
    g.fillPath (microphone (area.reduced (s * 0.27f, s * 0.16f), juce::jmax (1.0f, s * 0.075f)));
}
} // namespace

std::vector<Artwork> catalogue()
{
    const auto instagram = [] (Colour c) { return fillPath (c, [] (auto r) { return instagramMark (r); }); };
    const auto bird = [] (Colour c) { return fillPath (c, [] (auto r) { return birdMark (r); }); };
    const auto fb = [] (Colour c) { return [c] (Image& image) { facebook (image, c); }; };
    const auto minus = [] (Colour c)
    { return fillPath (c, [] (auto r) { return circledMinus (r.reduced (1.5f), 1.6f); }); };
    const auto cross = [] (Colour c)
    { return fillPath (c, [] (auto r) { return circledCross (r.reduced (1.5f), 1.6f); }); };
    const auto light = grey (216);

    std::vector<Artwork> all = {
        // Named images.
        { "logo", 168, 56,
          fillPath (white, [] (auto r) { return strokedLettering ("ZARVO", 30.0f, 5.5f, 0.3f, r.getCentre()); }) },
        { "setting", 26, 26,
          fillPath (grey (200), [] (auto r) { return gear (r.getCentre(), 12.5f, 9.5f, 4.0f, 8); }) },
        { "mask", 600, 604, mask },
        { "bilibili", 45, 20,
          fillPath (white, [] (auto r) { return strokedLettering ("bilibili", 13.0f, 1.8f, 0.27f, r.getCentre()); }) },
        { "tiktok", 19, 20, fillPath (white, [] (auto r) { return musicalNote (r); }) },
        { "microphone_gain", 24, 32,
          fillPath (white, [] (auto r) { return microphone (r.reduced (1.5f, 1.0f), 2.2f); }) },
        { "weibo", 24, 20, fillPath (white, [] (auto r) { return weiboMark (r); }) },

        // Title bar buttons: normal, over, down.
        { "closeBtn01", 30, 30, cross (white) },
        { "closeBtn02", 30, 30, cross (grey (200)) },
        { "closeBtn03", 30, 30, cross (grey (150)) },
        { "minimiseBtn01", 30, 30, minus (white) },
        { "minimiseBtn02", 30, 30, minus (grey (200)) },
        { "minimiseBtn03", 30, 30, minus (grey (150)) },

        // Link buttons: a spare grey copy, then normal, over, down.
        { "ins", 20, 20, instagram (grey (200)) },
        { "ins01", 20, 20, instagram (white) },
        { "ins02", 20, 20, instagram (lightGrey) },
        { "ins03", 20, 20, instagram (grey (200)) },
        { "twitter", 22, 20, bird (grey (200)) },
        { "twitter01", 22, 20, bird (white) },
        { "twitter02", 22, 20, bird (lightGrey) },
        { "twitter03", 22, 20, bird (grey (200)) },
        { "facebook", 20, 20, fb (grey (200)) },
        { "facebook01", 20, 20, fb (white) },
        { "facebook02", 20, 20, fb (lightGrey) },
        { "facebook03", 20, 20, fb (grey (200)) },
        { "Booklittle01", 20, 20, redBookSquare (white) },
        { "Booklittle02", 20, 20, redBookSquare (grey (150)) },
        { "Booklittle03", 20, 20, redBookSquare (grey (100)) },

        { "microphone_mute", 28, 30,
          [] (Image& image)
          {
              const auto r = bounds (image);
              juce::Graphics g (image);
              g.setColour (juce::Colours::black);
              g.fillPath (microphone (r.reduced (6.0f, 1.0f), 2.0f));
              g.fillPath (strikeThrough (r.reduced (3.0f), 2.2f));
          } },

        // Noise-reduction row icons.
        { "noise_reduction01", 16, 20,
          fillPath (light, [] (auto r) { return waveTrace (r.reduced (0.5f, 2.0f), 3, 1.5f); }) },
        { "noise_reduction02", 16, 17,
          fillPath (light, [] (auto r) { return strikeThrough (r.reduced (2.0f), 1.8f); }) },
        { "noise_reduction03", 17, 2, fillAll (white) },

        // Switches: the two backgrounds, the spare backgrounds with marks, the knobs.
        { "noise_background", 100, 26, roundedBar (grey (50), 13.0f) },
        { "noise_reduction_background_btn", 100, 26, roundedBarWithMarks (grey (50), light) },
        { "noise_reduction_slidebtn", 50, 26, roundedBar (orange, 13.0f) },

        // Mute button: pressed = muted, not selected = normal, chosen = pointer over it.
        { "pressedNoisebtn", 40, 40, microphoneDisc (Colour (255, 0, 0), true) },
        { "notSelectedNoisebtn", 40, 40, microphoneDisc (white, false) },
        { "chooseNoisebtn", 40, 40, microphoneDisc (light, false) },

        // Four small marks that nothing shows.
        { "reverberation01", 10, 17,
          fillPath (light, [] (auto r) { return waveHalf (r.reduced (1.0f), true, 1.6f); }) },
        { "reverberation02", 11, 16,
          fillPath (light, [] (auto r) { return waveHalf (r.reduced (1.0f), false, 1.6f); }) },
        { "reverberation_head", 18, 11,
          fillPath (light, [] (auto r) { return waveTrace (r.reduced (0.5f), 2, 1.4f); }) },
        { "reverberation_body", 9, 9, fillPath (light, [] (auto r) { return dot (r.reduced (1.0f)); }) },

        { "reverberation_background_btn", 100, 26, roundedBarWithMarks (grey (50), light) },
        { "reverberation_slidebtn", 50, 26, roundedBar (orange, 13.0f) },
        { "reverb_background", 100, 26, roundedBar (grey (50), 13.0f) },

        // Reverberation-time row: centre mark, left and right wave halves, frame.
        { "reverb_time01", 8, 8, fillPath (white, [] (auto r) { return dot (r.reduced (1.0f)); }) },
        { "reverb_time02", 6, 15, fillPath (white, [] (auto r) { return waveHalf (r.reduced (0.5f), true, 1.6f); }) },
        { "reverb_time03", 6, 16, fillPath (white, [] (auto r) { return waveHalf (r.reduced (0.5f), false, 1.6f); }) },
        { "reverb_time_border", 34, 24, fillPath (white, [] (auto r) { return roundedFrame (r, 6.0f, 1.5f); }) },
        { "reverb_depth", 27, 20,
          fillPath (white,
                    [] (auto r) {
                        return soundBars (r.reduced (0.5f, 1.0f), { 0.3f, 0.6f, 1.0f, 0.5f, 0.8f, 0.45f, 0.25f }, 2.2f);
                    }) },
        { "reverb_depth_border", 34, 24, fillPath (white, [] (auto r) { return roundedFrame (r, 6.0f, 1.5f); }) },

        // Factory-reset bar, meter segments and covers, the spare red disc.
        { "reset", 158, 25, fillAll (orange) },
        { "white", 7, 28, fillAll (white) },
        { "orange", 6, 28, fillAll (Colour (255, 143, 31)) },
        { "red", 40, 40,
          fillPath (Colour (255, 0, 0),
                    [] (auto r)
                    {
                        Path p;
                        p.addEllipse (r);
                        return p;
                    }) },
        { "redRect", 6, 28, fillAll (Colour (255, 0, 0)) },
        { "juxing", 6, 28, fillAll (Colour (30, 255, 0)) },
    };

    for (int size : { 16, 24, 32, 48, 64, 256 })
        all.push_back ({ "icon" + juce::String (size), size, size, appIcon });

    return all;
}
} // namespace artwork
