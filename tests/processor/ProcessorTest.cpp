#include "VovuzaAudioProcessor.h"

#include <gtest/gtest.h>

#include <random>

namespace {

void setPlain(VovuzaAudioProcessor& p, const char* id, float value)
{
    auto* r = p.parameters.getParameter(id);
    ASSERT_NE(r, nullptr) << id;
    r->setValueNotifyingHost(r->convertTo0to1(value));
}

juce::AudioBuffer<float> noiseBuffer(int channels, int samples, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    juce::AudioBuffer<float> b(channels, samples);
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < samples; ++i)
            b.setSample(ch, i, dist(rng));
    return b;
}

using Set = juce::AudioChannelSet;

TEST(Processor, AcceptsOnlyMatchingMonoOrStereoLayouts)
{
    VovuzaAudioProcessor p;
    const struct { Set in, out; bool ok; } cases[] = {
        { Set::mono(), Set::mono(), true },           { Set::stereo(), Set::stereo(), true },
        { Set::create5point1(), Set::create5point1(), false },
        { Set::mono(), Set::stereo(), false },         { Set::stereo(), Set::mono(), false },
        { Set::disabled(), Set::stereo(), false },     { Set::disabled(), Set::disabled(), false },
    };
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(c.in);
        layout.outputBuses.add(c.out);
        EXPECT_EQ(p.checkBusesLayoutSupported(layout), c.ok) << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST(Processor, Identity)
{
    VovuzaAudioProcessor p;
    EXPECT_EQ(p.getName(), "Vovuza");
    EXPECT_EQ(p.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE(p.acceptsMidi());
    EXPECT_FALSE(p.producesMidi());
    EXPECT_FALSE(p.isMidiEffect());
    EXPECT_TRUE(p.hasEditor());
    EXPECT_EQ(p.getNumPrograms(), 1);
    EXPECT_EQ(p.getCurrentProgram(), 0);
    EXPECT_EQ(p.getProgramName(0), "Default");
    p.setCurrentProgram(0);
    p.changeProgramName(0, "x");
    EXPECT_EQ(p.getProgramName(0), "Default");

    auto* bypass = p.getBypassParameter();
    ASSERT_NE(bypass, nullptr);
    EXPECT_EQ(bypass, p.parameters.getParameter("bypass"));
    EXPECT_EQ(p.getBusCount(true), 1);
    EXPECT_EQ(p.getBus(true, 0)->getName(), "Input");
    EXPECT_EQ(p.getBus(false, 0)->getName(), "Output");
    EXPECT_EQ(p.getMainBusNumInputChannels(), 2);
}

TEST(Processor, SnapshotCarriesParameterDefaultsAndConversions)
{
    const vaz::StripSettings record;
    EXPECT_EQ(record.gateThreshDb, -20);
    EXPECT_EQ(record.gateHystDb, 0);

    VovuzaAudioProcessor p;
    auto s = p.settings();
    EXPECT_EQ(s.gateThreshDb, -40);
    EXPECT_EQ(s.gateHystDb, 3);
    EXPECT_EQ(s.driveDb, 12);
    EXPECT_TRUE(s.eq.on);
    EXPECT_TRUE(s.guard);
    EXPECT_FALSE(s.bypass);
    EXPECT_EQ(s.eq.hpfHz, 0);
    EXPECT_EQ(s.transient.shape, 1);
    EXPECT_DOUBLE_EQ(s.compMix, 1.0);
    EXPECT_NEAR(s.eq.lfHz, 100, 1e-3);

    setPlain(p, "comp_mix", 50);
    setPlain(p, "comp_link", 25);
    setPlain(p, "tr_attack", -100);
    setPlain(p, "tr_sustain", 40);
    setPlain(p, "comp_channel", 1);
    setPlain(p, "hmf_mul3", 1);
    setPlain(p, "hpf", 120);
    s = p.settings();
    EXPECT_NEAR(s.compMix, 0.5, 1e-6);
    EXPECT_NEAR(s.compLink, 0.25, 1e-6);
    EXPECT_NEAR(s.transient.attack, -1.0, 1e-6);
    EXPECT_NEAR(s.transient.sustain, 0.4, 1e-6);
    EXPECT_TRUE(s.compFeedForward);
    EXPECT_TRUE(s.eq.hmfMul3);
    EXPECT_NEAR(s.eq.hpfHz, 120, 1e-2);

    // The hit shape is the raw value truncated toward zero and clamped to 0..2.
    auto* shape = p.parameters.getRawParameterValue("tr_shape");
    for (const auto& [raw, expected] : { std::pair { 2.7f, 2 }, { -0.3f, 0 }, { 1.9f, 1 }, { 7.0f, 2 }, { -4.0f, 0 } })
    {
        shape->store(raw);
        EXPECT_EQ(p.settings().transient.shape, expected) << raw;
    }
}

TEST(Processor, ReportsLatencyPerSampleRate)
{
    VovuzaAudioProcessor p;
    for (const auto& [rate, latency] : { std::pair { 48000.0, 107 }, { 48000.0, 107 }, { 44100.0, 101 },
                                        { 96000.0, 179 }, { 192000.0, 295 } })
    {
        p.prepareToPlay(rate, 256);
        EXPECT_EQ(p.getLatencySamples(), latency) << rate;
    }
}

// The processed block must be the input delayed by the latency, bit-exactly.
void expectDelayedCopy(const juce::AudioBuffer<float>& in, const juce::AudioBuffer<float>& out, int latency)
{
    for (int ch = 0; ch < out.getNumChannels(); ++ch)
        for (int i = 0; i < out.getNumSamples(); ++i)
        {
            const float expected = i < latency ? 0.0f : in.getSample(ch, i - latency);
            ASSERT_EQ(out.getSample(ch, i), expected) << "channel " << ch << " sample " << i;
        }
}

TEST(Processor, LongHostBlocksAreProcessedInPreparedChunks)
{
    VovuzaAudioProcessor p;
    p.prepareToPlay(48000, 512);
    const auto in = noiseBuffer(2, 3000, 11);
    auto buffer = in;
    juce::MidiBuffer midi;
    const int serial = p.getStrip().feed.serial.load();
    p.processBlock(buffer, midi);
    EXPECT_EQ(p.getStrip().feed.serial.load() - serial, 6);   // 512 x 5 + 440
    expectDelayedCopy(in, buffer, 107);
}

TEST(Processor, ZeroBlockSizeBehavesAsOne)
{
    VovuzaAudioProcessor p;
    p.prepareToPlay(48000, 0);
    const auto in = noiseBuffer(2, 300, 12);
    auto buffer = in;
    juce::MidiBuffer midi;
    const int serial = p.getStrip().feed.serial.load();
    p.processBlock(buffer, midi);
    EXPECT_EQ(p.getStrip().feed.serial.load() - serial, 300);
    expectDelayedCopy(in, buffer, 107);
}

TEST(Processor, MonoTrackGivesTheSameOutputWithMonoOnOrOff)
{
    std::vector<juce::AudioBuffer<float>> outputs;
    const auto in = noiseBuffer(1, 2048, 13);
    for (const bool mono : { false, true })
    {
        VovuzaAudioProcessor p;
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(Set::mono());
        layout.outputBuses.add(Set::mono());
        ASSERT_TRUE(p.setBusesLayout(layout));
        setPlain(p, "mono", mono ? 1.0f : 0.0f);
        setPlain(p, "input", 6);
        p.prepareToPlay(48000, 512);
        auto buffer = in;
        juce::MidiBuffer midi;
        p.processBlock(buffer, midi);
        outputs.push_back(buffer);
    }
    for (int i = 0; i < 2048; ++i)
        ASSERT_EQ(outputs[0].getSample(0, i), outputs[1].getSample(0, i)) << i;
    EXPECT_NEAR(outputs[0].getSample(0, 1000), in.getSample(0, 1000 - 107) * std::pow(10.0f, 6 / 20.0f), 1e-6);
}

TEST(Processor, DeltaOfNeutralSettingsIsSilenceThroughTheShell)
{
    VovuzaAudioProcessor p;
    setPlain(p, "delta", 1);
    p.prepareToPlay(44100, 128);
    auto buffer = noiseBuffer(2, 4096, 14);
    juce::MidiBuffer midi;
    p.processBlock(buffer, midi);
    EXPECT_EQ(buffer.getMagnitude(0, 4096), 0.0f);
}

TEST(Processor, StateRoundTripKeepsEveryParameterAndViewProperty)
{
    VovuzaAudioProcessor a;
    std::mt19937 rng(15);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (auto* param : a.getParameters())
        param->setValueNotifyingHost(unit(rng));
    a.parameters.state.setProperty("expanded", true, nullptr);
    a.parameters.state.setProperty("uiScale", 1.5, nullptr);

    juce::MemoryBlock blob;
    a.getStateInformation(blob);
    VovuzaAudioProcessor b;
    b.setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
    for (int i = 0; i < a.getParameters().size(); ++i)
    {
        auto* pa = dynamic_cast<juce::RangedAudioParameter*>(a.getParameters()[i]);
        auto* pb = dynamic_cast<juce::RangedAudioParameter*>(b.getParameters()[i]);
        ASSERT_TRUE(pa != nullptr && pb != nullptr);
        const float plain = pa->convertFrom0to1(pa->getValue());
        EXPECT_NEAR(pb->convertFrom0to1(pb->getValue()), plain, 1e-5f * (1 + std::abs(plain))) << pa->getParameterID();
        EXPECT_EQ(pb->getCurrentValueAsText(), pa->getCurrentValueAsText()) << pa->getParameterID();
    }
    EXPECT_TRUE(static_cast<bool>(b.parameters.state.getProperty("expanded")));
    EXPECT_EQ(static_cast<double>(b.parameters.state.getProperty("uiScale")), 1.5);

    // A damaged blob changes nothing.
    const float before = b.getParameters()[0]->getValue();
    const char junk[] = "not a state";
    b.setStateInformation(junk, sizeof(junk));
    EXPECT_EQ(b.getParameters()[0]->getValue(), before);
}

} // namespace
