// Loads the built Vovuza.vst3 through the VST3 interface, as a DAW does.
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

const juce::File kBundle { VOVUZA_BUNDLE };

// Position of x on a logarithmic knob from lo to hi.
float logPos(float x, float lo, float hi) { return std::log(x / lo) / std::log(hi / lo); }

TEST(Host, FactoryExportsTheThreeClassesUnderTheIdentity)
{
    probe::FactoryInfo info;
    juce::String error;
    ASSERT_TRUE(probe::readFactory(kBundle, info, error)) << error;
    EXPECT_EQ(info.vendor, "Vezuzuzo");
    EXPECT_EQ(info.url, "");
    EXPECT_EQ(info.email, "");
    EXPECT_NE(info.flags & 16, 0);   // unicode

    ASSERT_EQ(info.classes.size(), 3u);
    const struct { const char* category; const char* subCategories; } expected[] = {
        { "Audio Module Class", "Fx" },
        { "Component Controller Class", nullptr },
        { "Plugin Compatibility Class", "" },
    };
    for (const auto& e : expected)
    {
        auto it = std::find_if(info.classes.begin(), info.classes.end(),
                               [&](const probe::FactoryClass& c) { return c.category == e.category; });
        ASSERT_NE(it, info.classes.end()) << e.category;
        if (e.subCategories != nullptr)
            EXPECT_EQ(it->subCategories, e.subCategories) << e.category;
        if (juce::String(e.category) == "Audio Module Class")
        {
            EXPECT_EQ(it->name, "Vovuza");
            EXPECT_EQ(it->vendor, "Vezuzuzo");
            EXPECT_EQ(it->version, "0.1.0");
            EXPECT_EQ(it->classFlags, 0);
            EXPECT_EQ(it->cardinality, 0x7FFFFFFF);   // many instances
        }
    }
}

class Loaded : public ::testing::Test
{
protected:
    void SetUp() override
    {
        juce::String error;
        plugin = probe::loadPlugin(kBundle, 48000, 512, description, error);
        ASSERT_NE(plugin, nullptr) << error;
    }
    void TearDown() override
    {
        if (plugin)
            plugin->releaseResources();
    }

    juce::PluginDescription description;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

TEST_F(Loaded, DescribesItselfAsAnEffect)
{
    EXPECT_EQ(description.name, "Vovuza");
    EXPECT_EQ(description.manufacturerName, "Vezuzuzo");
    EXPECT_EQ(description.version, "0.1.0");
    EXPECT_EQ(description.category, "Fx");
    EXPECT_FALSE(description.isInstrument);
    EXPECT_EQ(plugin->getName(), "Vovuza");
    EXPECT_FALSE(plugin->acceptsMidi());
    EXPECT_FALSE(plugin->producesMidi());
    EXPECT_TRUE(plugin->hasEditor());
}

TEST_F(Loaded, AcceptsMonoAndStereoOnly)
{
    using Set = juce::AudioChannelSet;
    const struct { Set in, out; bool ok; } cases[] = {
        { Set::mono(), Set::mono(), true }, { Set::stereo(), Set::stereo(), true },
        { Set::mono(), Set::stereo(), false }, { Set::stereo(), Set::mono(), false },
        { Set::create5point1(), Set::create5point1(), false },
    };
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(c.in);
        layout.outputBuses.add(c.out);
        EXPECT_EQ(plugin->checkBusesLayoutSupported(layout), c.ok)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST_F(Loaded, OffersTheFiftyOneParametersWithDefaults)
{
    const struct { const char* name; const char* text; float normalised; } expected[] = {
        { "Input", "0.0 dB", 0.5f }, { "Output", "0.0 dB", 0.5f }, { "Polarity", "Off", 0 },
        { "Mono", "Off", 0 }, { "Console", "Off", 0 }, { "Drive", "+12.0 dB", 12 / 36.0f },
        { "HPF", "OFF", 0 }, { "LPF", "OFF", 0 }, { "LF Gain", "0.0 dB", 0.5f },
        { "LF Freq", "100 Hz", logPos(100, 30, 450) }, { "LF Bell", "Off", 0 }, { "LMF Gain", "0.0 dB", 0.5f },
        { "LMF Freq", "1.00 kHz", logPos(1000, 200, 2500) }, { "LMF Q", "1.50", logPos(1.5f, 0.5f, 3) }, { "LMF /3", "Off", 0 },
        { "HMF Gain", "0.0 dB", 0.5f }, { "HMF Freq", "3.00 kHz", logPos(3000, 600, 7000) }, { "HMF Q", "1.50", logPos(1.5f, 0.5f, 3) },
        { "HMF x3", "Off", 0 }, { "HF Gain", "0.0 dB", 0.5f }, { "HF Freq", "8.00 kHz", logPos(8000, 1500, 16000) },
        { "HF Bell", "Off", 0 }, { "EQ On", "On", 1 }, { "Dynamics Before EQ", "Off", 0 },
        { "SC Int", "Off", 0 }, { "Gate On", "Off", 0 }, { "Gate Threshold", "-40.0 dB", 1 / 3.0f },
        { "Gate Range", "+40.0 dB", 2 / 3.0f }, { "Gate Release", "100 ms", 0 },
        { "Gate Hysteresis", "+3.0 dB", 0.25f }, { "Gate Fast", "Off", 0 }, { "Attack", "0 %", 0.5f },
        { "Sustain", "0 %", 0.5f }, { "Hit Shape", "Natural", 0.5f }, { "Detect HP", "20 Hz", 0 },
        { "Detect LP", "20.0 kHz", 1 }, { "Comp On", "Off", 0 }, { "Comp Channel", "Off", 0 },
        { "Comp Ratio", "4.0:1", logPos(4, 1, 100) }, { "Comp Threshold", "0.0 dB", 1 }, { "Comp Release", "100 ms", 0 },
        { "Comp Auto Release", "Off", 0 }, { "Comp Slow Attack", "Off", 0 }, { "Comp Mix", "100 %", 1 },
        { "Comp Link", "100 %", 1 }, { "Comp SC HPF", "OFF", 0 }, { "Comp Auto Makeup", "Off", 0 },
        { "Bypass", "Off", 0 }, { "Level Match", "Off", 0 }, { "Delta", "Off", 0 }, { "Safety", "On", 1 },
    };
    const auto& params = plugin->getParameters();
    ASSERT_EQ(params.size(), 51);
    for (int i = 0; i < params.size(); ++i)
    {
        EXPECT_EQ(params[i]->getName(100), expected[i].name) << i;
        EXPECT_EQ(params[i]->getCurrentValueAsText(), expected[i].text) << expected[i].name;
        EXPECT_NEAR(params[i]->getDefaultValue(), expected[i].normalised, 2e-5) << expected[i].name;
        EXPECT_NEAR(params[i]->getValue(), expected[i].normalised, 2e-5) << expected[i].name;
    }

    auto* bypass = plugin->getBypassParameter();
    ASSERT_NE(bypass, nullptr);
    EXPECT_EQ(bypass->getName(100), "Bypass");
}

TEST_F(Loaded, NeutralAudioComesOutDelayedByTheReportedLatency)
{
    for (const int channels : { 2, 1 })
    {
        ASSERT_TRUE(probe::prepareLayout(*plugin, channels, 48000, 512));
        EXPECT_EQ(plugin->getLatencySamples(), 107);

        std::mt19937 rng(31);
        std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
        std::vector<std::vector<float>> input(static_cast<size_t>(channels), std::vector<float>(4096));
        for (auto& ch : input)
            for (auto& x : ch)
                x = dist(rng);

        juce::AudioBuffer<float> buffer(channels, 512);
        juce::MidiBuffer midi;
        for (int block = 0; block < 8; ++block)
        {
            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < 512; ++i)
                    buffer.setSample(ch, i, input[static_cast<size_t>(ch)][static_cast<size_t>(block * 512 + i)]);
            plugin->processBlock(buffer, midi);
            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < 512; ++i)
                {
                    const int t = block * 512 + i;
                    const float expected = t < 107 ? 0.0f : input[static_cast<size_t>(ch)][static_cast<size_t>(t - 107)];
                    ASSERT_EQ(buffer.getSample(ch, i), expected) << channels << " ch, channel " << ch << ", sample " << t;
                }
        }
        plugin->releaseResources();
    }
}

TEST_F(Loaded, HostRateChangeUpdatesTheLatency)
{
    ASSERT_TRUE(probe::prepareLayout(*plugin, 2, 96000, 256));
    EXPECT_EQ(plugin->getLatencySamples(), 179);
    plugin->releaseResources();
    ASSERT_TRUE(probe::prepareLayout(*plugin, 2, 44100, 256));
    EXPECT_EQ(plugin->getLatencySamples(), 101);
}

} // namespace
