#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// The strip's 51 automatable parameters. The string ID is each parameter's
// permanent identity: saved states, preset files and host automation refer to it.

namespace vovuza {

// Index of each parameter in layout order (the order the host lists them).
enum Param : int
{
    pInput, pOutput, pPolarity, pMono, pConsole, pDrive, pHpf, pLpf,
    pLfGain, pLfFreq, pLfBell,
    pLmfGain, pLmfFreq, pLmfQ, pLmfDiv3,
    pHmfGain, pHmfFreq, pHmfQ, pHmfMul3,
    pHfGain, pHfFreq, pHfBell,
    pEqOn, pDynBeforeEq, pScInt,
    pGateOn, pGateThresh, pGateRange, pGateRelease, pGateHyst, pGateFast,
    pTrAttack, pTrSustain, pTrShape, pTrDetHp, pTrDetLp,
    pCompOn, pCompChannel, pCompRatio, pCompThresh, pCompRelease, pCompAuto,
    pCompSlow, pCompMix, pCompLink, pCompHpsc, pCompMakeup,
    pBypass, pLevelMatch, pDelta, pGuard,
    kNumParams
};

juce::AudioProcessorValueTreeState::ParameterLayout createLayout();

// Logarithmic range from lo to hi (lo < hi).
juce::NormalisableRange<float> logRange(float lo, float hi);

// Range whose bottom five per cent is an OFF position (plain 0); above it the
// frequency moves logarithmically from a to b, which may fall (the LPF does).
juce::NormalisableRange<float> offRange(float a, float b);

// Display texts of plain values; the maximum length is ignored.
juce::String dbText(float x, int maxLength);
juce::String qText(float x, int maxLength);
juce::String hzText(float x, int maxLength);
juce::String msText(float x, int maxLength);
juce::String sPctText(float x, int maxLength);
juce::String pctText(float x, int maxLength);
juce::String offHzText(float x, int maxLength);
juce::String ratioText(float x, int maxLength);

} // namespace vovuza
