// Lets a test put JUCE windows on an X server without a window manager.
#pragma once

namespace zarvo::test
{
// Outside a JUCE application, JUCE leaves Xlib's default error handler in place, which ends the
// process on the first error. Without a window manager the window's protocol and type atoms do not
// exist, so setting them fails; the application ignores such errors, and after this call so does
// the test process.
void ignoreXErrors();
} // namespace zarvo::test
