// zarvo_artwork: draws the embedded images and writes them as PNG files into a directory
// (resources/images). With --check it writes nothing and fails when a file there differs from
// what it would write. The output is the same, byte for byte, on every run.

#include <iostream>

#include "Catalogue.h"
#include "ImageOps.h"

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    const bool check = argc == 3 && juce::String (argv[1]) == "--check";
    if (argc != 2 && !check)
    {
        std::cerr << "usage: zarvo_artwork [--check] <directory>\n";
        return 2;
    }
    const juce::File directory = juce::File::getCurrentWorkingDirectory().getChildFile (argv[argc - 1]);
    if (!check && !directory.createDirectory())
    {
        std::cerr << "cannot create " << directory.getFullPathName() << "\n";
        return 1;
    }

    int problems = 0;
    for (const auto& art : artwork::catalogue())
    {
        auto image = artwork::makeCanvas (art.width, art.height);
        art.draw (image);
        const auto png = artwork::encodePng (image);

        const auto file = directory.getChildFile (art.name + ".png");
        juce::MemoryBlock existing;
        const bool same = file.loadFileAsData (existing) && existing == png;
        if (check)
        {
            if (!same)
            {
                std::cerr << "differs: " << file.getFullPathName() << "\n";
                ++problems;
            }
        }
        // Unchanged files are left alone, so that their times do not trigger a rebuild.
        else if (!same && !file.replaceWithData (png.getData(), png.getSize()))
        {
            std::cerr << "cannot write " << file.getFullPathName() << "\n";
            ++problems;
        }
    }
    return problems == 0 ? 0 : 1;
}
