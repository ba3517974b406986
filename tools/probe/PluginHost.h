#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <vector>

// Loads a VST3 bundle the way a DAW does: through the module's factory and
// JUCE's VST3 hosting, with no knowledge of the plug-in's own code.

namespace probe {

// One class the module's factory exports.
struct FactoryClass
{
    juce::String category, name, subCategories, vendor, version;
    int classFlags = 0;
    int cardinality = 0;
};

struct FactoryInfo
{
    juce::String vendor, url, email;
    int flags = 0;
    std::vector<FactoryClass> classes;
};

// Opens the bundle's shared library, calls its module entry and reads the factory.
bool readFactory(const juce::File& bundle, FactoryInfo& info, juce::String& error);

// Scans the bundle and instantiates its audio effect class.
std::unique_ptr<juce::AudioPluginInstance> loadPlugin(const juce::File& bundle, double sampleRate,
                                                      int blockSize, juce::PluginDescription& description,
                                                      juce::String& error);

// Asks the plug-in for mono/mono (channels = 1) or stereo/stereo (2) and prepares it.
bool prepareLayout(juce::AudioPluginInstance& plugin, int channels, double sampleRate, int blockSize);

} // namespace probe
