#include "Marks.h"

namespace artwork
{
namespace
{
constexpr float pi = juce::MathConstants<float>::pi;

juce::Path lineFrom (juce::Point<float> a, juce::Point<float> b)
{
    juce::Path p;
    p.startNewSubPath (a);
    p.lineTo (b);
    return p;
}

void addAll (juce::Path& into, const juce::Path& p)
{
    into.addPath (p);
}
} // namespace

juce::Path stroked (const juce::Path& centreLine, float weight)
{
    juce::Path out;
    juce::PathStrokeType (weight, juce::PathStrokeType::curved, juce::PathStrokeType::rounded)
        .createStrokedPath (out, centreLine);
    return out;
}

juce::Path gear (juce::Point<float> centre, float outerRadius, float rootRadius, float holeRadius, int teeth)
{
    juce::Path p;
    const float step = 2.0f * pi / (float)teeth;
    for (int i = 0; i < teeth; ++i)
    {
        const float c = step * (float)i;
        const float corners[] = { c - step * 0.30f, c - step * 0.17f, c + step * 0.17f, c + step * 0.30f };
        const float radii[] = { rootRadius, outerRadius, outerRadius, rootRadius };
        for (int k = 0; k < 4; ++k)
        {
            const auto pt = centre.getPointOnCircumference (radii[k], corners[k]);
            if (i == 0 && k == 0)
                p.startNewSubPath (pt);
            else
                p.lineTo (pt);
        }
    }
    p.closeSubPath();
    p.addEllipse (centre.x - holeRadius, centre.y - holeRadius, holeRadius * 2.0f, holeRadius * 2.0f);
    p.setUsingNonZeroWinding (false);
    return p;
}

juce::Path microphone (juce::Rectangle<float> area, float weight)
{
    const float w = area.getWidth();
    const float h = area.getHeight();
    const float cx = area.getCentreX();
    const float top = area.getY();

    juce::Path p;
    const float capsuleWidth = w * 0.44f;
    const float capsuleHeight = h * 0.56f;
    p.addRoundedRectangle (cx - capsuleWidth * 0.5f, top, capsuleWidth, capsuleHeight, capsuleWidth * 0.5f);

    // The holder: a U around the lower half of the capsule.
    const float holderRadius = w * 0.5f - weight * 0.5f;
    const float holderCentreY = top + capsuleHeight * 0.52f;
    juce::Path holder;
    holder.startNewSubPath (cx - holderRadius, holderCentreY - holderRadius * 0.25f);
    holder.addCentredArc (cx, holderCentreY, holderRadius, holderRadius, 0.0f, 1.5f * pi, 0.5f * pi, false);
    holder.lineTo (cx + holderRadius, holderCentreY - holderRadius * 0.25f);
    addAll (p, stroked (holder, weight));

    const float footY = area.getBottom() - weight * 0.5f;
    addAll (p, stroked (lineFrom ({ cx, holderCentreY + holderRadius }, { cx, footY }), weight));
    addAll (p, stroked (lineFrom ({ cx - w * 0.3f, footY }, { cx + w * 0.3f, footY }), weight));
    return p;
}

juce::Path strikeThrough (juce::Rectangle<float> area, float weight)
{
    return stroked (lineFrom (area.getTopLeft(), area.getBottomRight()), weight);
}

juce::Path instagramMark (juce::Rectangle<float> area)
{
    const float s = juce::jmin (area.getWidth(), area.getHeight());
    const float weight = s * 0.1f;
    const auto frameArea = area.withSizeKeepingCentre (s, s).reduced (weight * 0.5f);
    juce::Path frame;
    frame.addRoundedRectangle (frameArea, s * 0.28f);
    juce::Path p = stroked (frame, weight);

    const auto c = area.getCentre();
    juce::Path lens;
    lens.addEllipse (c.x - s * 0.21f, c.y - s * 0.21f, s * 0.42f, s * 0.42f);
    addAll (p, stroked (lens, weight));

    const float dot = s * 0.13f;
    p.addEllipse (c.x + s * 0.24f - dot * 0.5f, c.y - s * 0.24f - dot * 0.5f, dot, dot);
    return p;
}

juce::Path birdMark (juce::Rectangle<float> area)
{
    // Drawn on a 22 x 20 grid and scaled: body, head, beak, wing and tail of a small bird facing right.
    juce::Path p;
    p.startNewSubPath (1.0f, 15.0f);          // tail tip
    p.quadraticTo (5.0f, 15.5f, 8.0f, 13.0f); // under the tail
    p.quadraticTo (3.5f, 12.0f, 3.0f, 8.5f);  // wing back edge
    p.quadraticTo (4.5f, 9.5f, 6.0f, 9.5f);   //
    p.quadraticTo (2.5f, 7.0f, 3.0f, 2.5f);   // raised wing
    p.quadraticTo (7.0f, 7.5f, 12.0f, 8.0f);  // wing root to the head
    p.quadraticTo (11.5f, 3.0f, 16.0f, 2.5f); // back of the head
    p.quadraticTo (18.0f, 2.5f, 19.0f, 3.5f); // crown
    p.lineTo (21.5f, 2.5f);                   // beak
    p.lineTo (20.0f, 5.0f);
    p.lineTo (21.5f, 4.8f);
    p.lineTo (20.0f, 6.2f);
    p.quadraticTo (19.5f, 15.5f, 9.0f, 17.5f); // breast and belly
    p.quadraticTo (4.5f, 18.2f, 1.0f, 15.0f);  // back to the tail
    p.closeSubPath();
    p.applyTransform (juce::AffineTransform::scale (area.getWidth() / 22.0f, area.getHeight() / 20.0f)
                          .translated (area.getX(), area.getY()));
    return p;
}

juce::Path facebookDisc (juce::Rectangle<float> area)
{
    juce::Path p;
    p.addEllipse (area);
    return p;
}

juce::Path facebookLetter (juce::Rectangle<float> area)
{
    const float s = area.getWidth();
    const float x = area.getX();
    const float y = area.getY();
    const float weight = s * 0.14f;
    juce::Path stem;
    const float stemX = x + s * 0.56f;
    stem.startNewSubPath (stemX, area.getBottom() + weight);
    stem.lineTo (stemX, y + s * 0.38f);
    stem.quadraticTo (stemX, y + s * 0.2f, stemX + s * 0.16f, y + s * 0.2f);
    stem.lineTo (stemX + s * 0.22f, y + s * 0.2f);
    juce::Path p;
    juce::PathStrokeType (weight, juce::PathStrokeType::curved, juce::PathStrokeType::butt).createStrokedPath (p, stem);
    juce::Path bar;
    bar.addRectangle (x + s * 0.38f, y + s * 0.46f, s * 0.36f, weight);
    p.addPath (bar);
    return p;
}

juce::Path musicalNote (juce::Rectangle<float> area)
{
    const float w = area.getWidth();
    const float h = area.getHeight();
    const float x = area.getX();
    const float y = area.getY();
    const float weight = w * 0.15f;
    const float stemX = x + w * 0.55f;

    juce::Path line;
    line.startNewSubPath (stemX, y + h * 0.06f);
    line.lineTo (stemX, y + h * 0.7f);
    // The head: a ring to the left of the stem's foot.
    const float r = w * 0.22f;
    line.addCentredArc (stemX - r, y + h * 0.7f, r, r, 0.0f, 0.5f * pi, 2.5f * pi, false);
    juce::Path p = stroked (line, weight);

    juce::Path flag;
    flag.startNewSubPath (stemX, y + h * 0.08f);
    flag.quadraticTo (stemX + w * 0.08f, y + h * 0.3f, x + w * 0.92f, y + h * 0.34f);
    p.addPath (stroked (flag, weight));
    return p;
}

juce::Path weiboMark (juce::Rectangle<float> area)
{
    const float w = area.getWidth();
    const float h = area.getHeight();
    const float x = area.getX();
    const float y = area.getY();

    juce::Path body;
    body.addEllipse (x + w * 0.04f, y + h * 0.3f, w * 0.72f, h * 0.64f);
    body.addEllipse (x + w * 0.24f, y + h * 0.5f, w * 0.26f, h * 0.28f);
    body.setUsingNonZeroWinding (false);

    const float weight = w * 0.07f;
    const juce::Point<float> c (x + w * 0.72f, y + h * 0.36f);
    juce::Path waves;
    waves.addCentredArc (c.x, c.y, w * 0.22f, w * 0.22f, 0.0f, -0.1f * pi, 0.55f * pi, true);
    waves.addCentredArc (c.x, c.y, w * 0.11f, w * 0.11f, 0.0f, -0.05f * pi, 0.5f * pi, true);
    body.addPath (stroked (waves, weight));
    return body;
}

namespace
{
// The ring of the title-bar buttons, its outer edge on the area's edge.
juce::Path ringIn (juce::Rectangle<float> area, float weight)
{
    juce::Path ring;
    ring.addEllipse (area.reduced (weight * 0.5f));
    return stroked (ring, weight);
}
} // namespace

juce::Path dot (juce::Rectangle<float> area)
{
    juce::Path p;
    p.addEllipse (area);
    return p;
}

juce::Path circledMinus (juce::Rectangle<float> area, float weight)
{
    juce::Path p = ringIn (area, weight);
    const auto c = area.getCentre();
    const float half = area.getWidth() * 0.2f;
    p.addPath (stroked (lineFrom ({ c.x - half, c.y }, { c.x + half, c.y }), weight * 1.1f));
    return p;
}

juce::Path circledCross (juce::Rectangle<float> area, float weight)
{
    juce::Path p = ringIn (area, weight);
    const auto c = area.getCentre();
    const float half = area.getWidth() * 0.15f;
    p.addPath (stroked (lineFrom ({ c.x - half, c.y - half }, { c.x + half, c.y + half }), weight * 1.1f));
    p.addPath (stroked (lineFrom ({ c.x + half, c.y - half }, { c.x - half, c.y + half }), weight * 1.1f));
    return p;
}

juce::Path waveTrace (juce::Rectangle<float> area, int swings, float weight)
{
    const auto inner = area.reduced (weight * 0.5f);
    juce::Path line;
    const int points = swings * 2 + 2;
    for (int i = 0; i < points; ++i)
    {
        const float t = (float)i / (float)(points - 1);
        // Swings grow towards the middle, as a burst of sound does.
        const float envelope = (i == 0 || i == points - 1) ? 0.0f : std::sin (pi * t);
        const float sign = (i % 2 == 0) ? 1.0f : -1.0f;
        const juce::Point<float> pt (inner.getX() + inner.getWidth() * t,
                                     inner.getCentreY() + sign * envelope * inner.getHeight() * 0.5f);
        if (i == 0)
            line.startNewSubPath (pt);
        else
            line.lineTo (pt);
    }
    juce::Path p;
    juce::PathStrokeType (weight, juce::PathStrokeType::curved, juce::PathStrokeType::rounded)
        .createStrokedPath (p, line);
    return p;
}

juce::Path soundBars (juce::Rectangle<float> area, const juce::Array<float>& heights, float barWidth)
{
    juce::Path p;
    const int n = heights.size();
    const float pitch = (area.getWidth() - barWidth) / (float)juce::jmax (1, n - 1);
    for (int i = 0; i < n; ++i)
    {
        const float h = area.getHeight() * heights[i];
        p.addRoundedRectangle (area.getX() + pitch * (float)i, area.getCentreY() - h * 0.5f, barWidth, h,
                               barWidth * 0.5f);
    }
    return p;
}

juce::Path waveHalf (juce::Rectangle<float> area, bool opensRight, float weight)
{
    const auto inner = area.reduced (weight * 0.5f);
    const float outerX = opensRight ? inner.getX() : inner.getRight();
    const float innerX = opensRight ? inner.getRight() : inner.getX();
    juce::Path line;
    line.startNewSubPath (innerX, inner.getY());
    line.quadraticTo (outerX - (innerX - outerX) * 0.4f, inner.getCentreY(), innerX, inner.getBottom());
    return stroked (line, weight);
}

juce::Path roundedFrame (juce::Rectangle<float> area, float cornerSize, float weight)
{
    juce::Path frame;
    frame.addRoundedRectangle (area.reduced (weight * 0.5f), cornerSize);
    return stroked (frame, weight);
}
} // namespace artwork
