#include "VovuzaAudioProcessor.h"

#include <algorithm>

using namespace vovuza;

VovuzaAudioProcessor::VovuzaAudioProcessor()
    : juce::AudioProcessor(BusesProperties()
                               .withInput("Input", juce::AudioChannelSet::stereo(), true)
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true)),
      parameters(*this, &undoManager, "STATE", createLayout())
{
    const auto& params = getParameters();
    jassert(params.size() == kNumParams);
    for (int i = 0; i < kNumParams && i < params.size(); ++i)
        if (auto* p = dynamic_cast<juce::RangedAudioParameter*>(params[i]))
            rawValues[static_cast<size_t>(i)] = parameters.getRawParameterValue(p->getParameterID());

    parameters.state.setProperty("expanded", false, nullptr);
    parameters.state.setProperty("uiScale", 1.0, nullptr);
}

VovuzaAudioProcessor::~VovuzaAudioProcessor() = default;

const juce::String VovuzaAudioProcessor::getName() const { return "Vovuza"; }

void VovuzaAudioProcessor::prepareToPlay(double sampleRate, int samplesPerBlock)
{
    const int maxBlock = std::max(1, samplesPerBlock);
    workL.assign(static_cast<size_t>(maxBlock), 0.0);
    workR.assign(static_cast<size_t>(maxBlock), 0.0);

    strip.prepare(sampleRate, maxBlock);
    strip.reset();
    strip.set(settings());

    const int latency = strip.latency();
    if (latency != getLatencySamples())
        setLatencySamples(latency);
}

void VovuzaAudioProcessor::releaseResources() {}

void VovuzaAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int numInputs = getTotalNumInputChannels();
    for (int ch = numInputs; ch < buffer.getNumChannels(); ++ch)
        buffer.clear(ch, 0, buffer.getNumSamples());
    if (numInputs == 0 || buffer.getNumChannels() == 0)
        return;

    strip.set(settings());

    float* left = buffer.getWritePointer(0);
    float* right = numInputs > 1 && buffer.getNumChannels() > 1 ? buffer.getWritePointer(1) : nullptr;
    const int total = buffer.getNumSamples();
    const int maxBlock = static_cast<int>(workL.size());
    if (maxBlock == 0)
        return;

    for (int start = 0; start < total; start += maxBlock)
    {
        const int n = std::min(maxBlock, total - start);
        std::copy(left + start, left + start + n, workL.begin());
        std::copy(right != nullptr ? right + start : left + start,
                  (right != nullptr ? right : left) + start + n, workR.begin());

        strip.process(workL.data(), workR.data(), n);

        std::transform(workL.begin(), workL.begin() + n, left + start, [](double x) { return static_cast<float>(x); });
        if (right != nullptr)
            std::transform(workR.begin(), workR.begin() + n, right + start, [](double x) { return static_cast<float>(x); });
    }
}

double VovuzaAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool VovuzaAudioProcessor::acceptsMidi() const { return false; }
bool VovuzaAudioProcessor::producesMidi() const { return false; }

juce::AudioProcessorParameter* VovuzaAudioProcessor::getBypassParameter() const
{
    return parameters.getParameter("bypass");
}

juce::AudioProcessorEditor* VovuzaAudioProcessor::createEditor()
{
    return new juce::GenericAudioProcessorEditor(*this);
}

bool VovuzaAudioProcessor::hasEditor() const { return true; }

// Hosts list the single program; VST3 validation requires it to have a name.
int VovuzaAudioProcessor::getNumPrograms() { return 1; }
int VovuzaAudioProcessor::getCurrentProgram() { return 0; }
void VovuzaAudioProcessor::setCurrentProgram(int) {}
const juce::String VovuzaAudioProcessor::getProgramName(int) { return "Default"; }
void VovuzaAudioProcessor::changeProgramName(int, const juce::String&) {}

void VovuzaAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    if (auto xml = parameters.copyState().createXml())
        copyXmlToBinary(*xml, destData);
}

void VovuzaAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    if (auto xml = getXmlFromBinary(data, sizeInBytes))
        if (xml->hasTagName(parameters.state.getType()))
            parameters.replaceState(juce::ValueTree::fromXml(*xml));
}

bool VovuzaAudioProcessor::isBusesLayoutSupported(const BusesLayout& layouts) const
{
    const auto in = layouts.getMainInputChannelSet();
    const auto out = layouts.getMainOutputChannelSet();
    if (in != out)
        return false;
    return out == juce::AudioChannelSet::mono() || out == juce::AudioChannelSet::stereo();
}

vaz::StripSettings VovuzaAudioProcessor::settings() const
{
    vaz::StripSettings s;
    s.inputDb = raw(pInput);
    s.outputDb = raw(pOutput);
    s.polarity = on(pPolarity);
    s.mono = on(pMono);
    s.console = on(pConsole);
    s.driveDb = raw(pDrive);

    auto& eq = s.eq;
    eq.on = on(pEqOn);
    eq.hpfHz = raw(pHpf);
    eq.lpfHz = raw(pLpf);
    eq.lfGainDb = raw(pLfGain);
    eq.lfHz = raw(pLfFreq);
    eq.lfBell = on(pLfBell);
    eq.lmfGainDb = raw(pLmfGain);
    eq.lmfHz = raw(pLmfFreq);
    eq.lmfQ = raw(pLmfQ);
    eq.lmfDiv3 = on(pLmfDiv3);
    eq.hmfGainDb = raw(pHmfGain);
    eq.hmfHz = raw(pHmfFreq);
    eq.hmfQ = raw(pHmfQ);
    eq.hmfMul3 = on(pHmfMul3);
    eq.hfGainDb = raw(pHfGain);
    eq.hfHz = raw(pHfFreq);
    eq.hfBell = on(pHfBell);

    s.gateOn = on(pGateOn);
    s.gateThreshDb = raw(pGateThresh);
    s.gateRangeDb = raw(pGateRange);
    s.gateReleaseMs = raw(pGateRelease);
    s.gateHystDb = raw(pGateHyst);
    s.gateFast = on(pGateFast);

    auto& tr = s.transient;
    tr.attack = raw(pTrAttack) * 0.01;
    tr.sustain = raw(pTrSustain) * 0.01;
    tr.shape = std::clamp(static_cast<int>(raw(pTrShape)), 0, 2);
    tr.detectHpHz = raw(pTrDetHp);
    tr.detectLpHz = raw(pTrDetLp);

    s.compOn = on(pCompOn);
    s.compFeedForward = on(pCompChannel);
    s.compAuto = on(pCompAuto);
    s.compSlow = on(pCompSlow);
    s.compMakeup = on(pCompMakeup);
    s.scInt = on(pScInt);
    s.compRatio = raw(pCompRatio);
    s.compThreshDb = raw(pCompThresh);
    s.compReleaseMs = raw(pCompRelease);
    s.compMix = raw(pCompMix) * 0.01;
    s.compLink = raw(pCompLink) * 0.01;
    s.compHpscHz = raw(pCompHpsc);
    s.dynBeforeEq = on(pDynBeforeEq);
    s.levelMatch = on(pLevelMatch);
    s.delta = on(pDelta);
    s.guard = on(pGuard);
    s.bypass = on(pBypass);
    return s;
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VovuzaAudioProcessor();
}
