#pragma once

#include "ParameterLayout.h"
#include "vaz/Strip.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <vector>

class VovuzaAudioProcessor : public juce::AudioProcessor
{
public:
    VovuzaAudioProcessor();
    ~VovuzaAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay(double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    juce::AudioProcessorParameter* getBypassParameter() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int) override;
    const juce::String getProgramName(int) override;
    void changeProgramName(int, const juce::String&) override;

    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported(const BusesLayout& layouts) const override;

    // A snapshot of the current parameter values; atomic loads only, any thread.
    vaz::StripSettings settings() const;

    const vaz::Strip& getStrip() const { return strip; }

    juce::UndoManager undoManager;
    juce::AudioProcessorValueTreeState parameters;

private:
    float raw(vovuza::Param p) const { return rawValues[static_cast<size_t>(p)]->load(std::memory_order_relaxed); }
    bool on(vovuza::Param p) const { return raw(p) > 0.5f; }

    std::array<std::atomic<float>*, vovuza::kNumParams> rawValues {};
    vaz::Strip strip;
    std::vector<double> workL, workR;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VovuzaAudioProcessor)
};
