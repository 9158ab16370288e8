// The process entry: JUCE's application main, running ZarvoQ7TRApplication.
#include "ZarvoQ7TRApplication.h"

START_JUCE_APPLICATION (ZarvoQ7TRApplication)
