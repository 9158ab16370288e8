#include "StrokeLettering.h"

namespace artwork
{
namespace
{
// Adds one letter's centre lines at x offset `x`; returns its advance width, or a negative value for
// a letter it does not know.
float addLetter (juce::Path& p, juce::juce_wchar c, float x)
{
    auto line = [&p, x] (std::initializer_list<juce::Point<float>> points)
    {
        auto it = points.begin();
        p.startNewSubPath (it->x + x, it->y);
        for (++it; it != points.end(); ++it)
            p.lineTo (it->x + x, it->y);
    };

    switch (c)
    {
    case 'Z':
        line ({ { 0.0f, 0.0f }, { 0.72f, 0.0f }, { 0.0f, 1.0f }, { 0.72f, 1.0f } });
        return 0.72f;
    case 'A':
        line ({ { 0.0f, 1.0f }, { 0.4f, 0.0f }, { 0.8f, 1.0f } });
        line ({ { 0.17f, 0.64f }, { 0.63f, 0.64f } });
        return 0.8f;
    case 'R':
        p.startNewSubPath (x, 1.0f);
        p.lineTo (x, 0.0f);
        p.lineTo (x + 0.42f, 0.0f);
        p.cubicTo (x + 0.72f, 0.0f, x + 0.72f, 0.52f, x + 0.42f, 0.52f);
        p.lineTo (x, 0.52f);
        line ({ { 0.36f, 0.52f }, { 0.68f, 1.0f } });
        return 0.68f;
    case 'V':
        line ({ { 0.0f, 0.0f }, { 0.4f, 1.0f }, { 0.8f, 0.0f } });
        return 0.8f;
    case 'O':
        p.addEllipse (x, 0.0f, 0.86f, 1.0f);
        return 0.86f;
    case 'E':
        line ({ { 0.6f, 0.0f }, { 0.0f, 0.0f }, { 0.0f, 1.0f }, { 0.6f, 1.0f } });
        line ({ { 0.0f, 0.5f }, { 0.5f, 0.5f } });
        return 0.6f;
    case 'D':
        p.startNewSubPath (x, 0.0f);
        p.lineTo (x + 0.3f, 0.0f);
        p.cubicTo (x + 0.78f, 0.0f, x + 0.78f, 1.0f, x + 0.3f, 1.0f);
        p.lineTo (x, 1.0f);
        p.closeSubPath();
        return 0.66f;
    case 'b':
        line ({ { 0.0f, 0.0f }, { 0.0f, 1.0f } });
        p.addEllipse (x, 0.42f, 0.56f, 0.58f);
        return 0.56f;
    case 'i':
        line ({ { 0.0f, 0.42f }, { 0.0f, 1.0f } });
        line ({ { 0.0f, 0.1f }, { 0.0f, 0.16f } });
        return 0.0f;
    case 'l':
        line ({ { 0.0f, 0.0f }, { 0.0f, 1.0f } });
        return 0.0f;
    default:
        return -1.0f;
    }
}
} // namespace

juce::Path letterCentreLines (const juce::String& text, float gap)
{
    juce::Path p;
    float x = 0.0f;
    for (auto c : text)
    {
        const auto advance = addLetter (p, c, x);
        if (advance >= 0.0f)
            x += advance + gap;
    }
    return p;
}

juce::Path strokedLettering (const juce::String& text, float capHeight, float weight, float gap,
                             juce::Point<float> centre)
{
    auto lines = letterCentreLines (text, gap);
    // The unit bounds are taken from the centre lines so that the stroke weight stays in pixels.
    const auto unit = lines.getBounds();
    lines.applyTransform (juce::AffineTransform::translation (-unit.getCentreX(), -0.5f)
                              .scaled (capHeight)
                              .translated (centre.x, centre.y));
    juce::Path stroked;
    juce::PathStrokeType (weight, juce::PathStrokeType::curved, juce::PathStrokeType::rounded)
        .createStrokedPath (stroked, lines);
    return stroked;
}
} // namespace artwork
