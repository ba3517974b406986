// Loads an installed or freshly built Vovuza.vst3 through the VST3 interface and
// reports what a host sees: identity, exported classes, parameters, latency and a
// short audio check (an impulse must come out delayed by the reported latency).

#include "PluginHost.h"

#include <cmath>
#include <iostream>

namespace {

int measureDelay(juce::AudioPluginInstance& plugin, int blockSize)
{
    const int channels = plugin.getTotalNumInputChannels();
    juce::AudioBuffer<float> buffer(channels, blockSize);
    juce::MidiBuffer midi;
    for (int block = 0; block < 8; ++block)
    {
        buffer.clear();
        if (block == 0)
            for (int ch = 0; ch < channels; ++ch)
                buffer.setSample(ch, 0, 0.5f);
        plugin.processBlock(buffer, midi);
        for (int i = 0; i < blockSize; ++i)
            if (std::abs(buffer.getSample(0, i)) > 0.25f)
                return block * blockSize + i;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    const juce::File bundle(argc > 1 ? juce::File::getCurrentWorkingDirectory().getChildFile(argv[1])
                                     : juce::File(VOVUZA_DEFAULT_BUNDLE));

    probe::FactoryInfo factory;
    juce::String error;
    if (! probe::readFactory(bundle, factory, error))
    {
        std::cerr << "probe: " << error << "\n";
        return 1;
    }
    std::cout << "Bundle:  " << bundle.getFullPathName() << "\n"
              << "Vendor:  " << factory.vendor << "\n";
    for (const auto& c : factory.classes)
        std::cout << "Class:   " << c.category << " | " << c.name << " | " << c.subCategories
                  << " | " << c.version << "\n";

    constexpr double sampleRate = 48000;
    constexpr int blockSize = 512;
    juce::PluginDescription description;
    auto plugin = probe::loadPlugin(bundle, sampleRate, blockSize, description, error);
    if (plugin == nullptr)
    {
        std::cerr << "probe: " << error << "\n";
        return 1;
    }
    if (! probe::prepareLayout(*plugin, 2, sampleRate, blockSize))
    {
        std::cerr << "probe: the plug-in refused stereo in / stereo out\n";
        return 1;
    }

    const auto& params = plugin->getParameters();
    std::cout << "Plug-in: " << description.name << " " << description.version << " by "
              << description.manufacturerName << " (" << description.category << ")\n"
              << "Parameters: " << params.size() << "\n";
    for (auto* p : params)
        std::cout << "  " << p->getName(64) << " = " << p->getCurrentValueAsText() << "\n";

    const int latency = plugin->getLatencySamples();
    const int delay = measureDelay(*plugin, blockSize);
    std::cout << "Latency: " << latency << " samples at 48 kHz; an impulse came out after "
              << delay << " samples\n";
    plugin->releaseResources();

    if (delay != latency)
    {
        std::cerr << "probe: the audio is not aligned with the reported latency\n";
        return 1;
    }
    std::cout << "Vovuza loads and processes audio.\n";
    return 0;
}
