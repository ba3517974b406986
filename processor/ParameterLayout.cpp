#include "ParameterLayout.h"

#include <cmath>
#include <functional>

namespace vovuza {
namespace {

using Range = juce::NormalisableRange<float>;
using TextFn = std::function<juce::String(float, int)>;

Range linear(float lo, float hi) { return Range(lo, hi); }

constexpr float kOffZone = 0.05f;          // bottom of an off-range knob that reads OFF
constexpr float kOnSpan = 1.0f - kOffZone;
constexpr float kOffSnapFraction = 0.5f;   // below half the lowest frequency snaps to OFF

} // namespace

Range logRange(float lo, float hi)
{
    return Range(lo, hi,
        [](float start, float end, float v) { return start * std::pow(end / start, v); },
        [](float start, float end, float x) { return std::log(x / start) / std::log(end / start); },
        [](float start, float end, float x) { return x < start ? start : std::min(x, end); });
}

Range offRange(float a, float b)
{
    const float lowest = std::min(a, b);
    const float highest = std::max(a, b);
    return Range(0.0f, highest,
        [a, b](float, float, float v) {
            return v < kOffZone ? 0.0f : a * std::pow(b / a, (v - kOffZone) / kOnSpan);
        },
        [a, b](float, float, float x) {
            return x <= 0.0f ? 0.0f : kOnSpan * std::log(x / a) / std::log(b / a) + kOffZone;
        },
        [lowest, highest](float, float, float x) {
            if (x < kOffSnapFraction * lowest) return 0.0f;
            if (x < lowest) return lowest;
            return std::min(x, highest);
        });
}

juce::String dbText(float x, int)
{
    return (x > 0.05f ? "+" : "") + juce::String(double(x), 1) + " dB";
}

juce::String qText(float x, int) { return juce::String(double(x), 2); }

juce::String hzText(float x, int)
{
    if (x >= 1000.0f)
        return juce::String(double(x) / 1000.0, x < 10000.0f ? 2 : 1) + " kHz";
    return juce::String(juce::roundToInt(x)) + " Hz";
}

juce::String msText(float x, int)
{
    if (x >= 1000.0f)
        return juce::String(double(x) / 1000.0, 2) + " s";
    return juce::String(juce::roundToInt(x)) + " ms";
}

juce::String sPctText(float x, int)
{
    return (x > 0.5f ? "+" : "") + juce::String(juce::roundToInt(x)) + " %";
}

juce::String pctText(float x, int) { return juce::String(juce::roundToInt(x)) + " %"; }

juce::String offHzText(float x, int n) { return x <= 0.0f ? juce::String("OFF") : hzText(x, n); }

juce::String ratioText(float x, int)
{
    if (x >= 99.5f) return juce::String(juce::CharPointer_UTF8("\xe2\x88\x9e:1"));
    if (x < 10.0f) return juce::String(double(x), 1) + ":1";
    return juce::String(juce::roundToInt(x)) + ":1";
}

juce::AudioProcessorValueTreeState::ParameterLayout createLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    auto addFloat = [&layout](const char* id, const char* name, Range range, float def, TextFn text) {
        layout.add(std::make_unique<juce::AudioParameterFloat>(
            juce::ParameterID { id, 1 }, name, range, def,
            juce::AudioParameterFloatAttributes().withStringFromValueFunction(std::move(text))));
    };
    auto addSwitch = [&layout](const char* id, const char* name, bool def) {
        layout.add(std::make_unique<juce::AudioParameterBool>(juce::ParameterID { id, 1 }, name, def));
    };

    addFloat("input", "Input", linear(-24, 24), 0, dbText);
    addFloat("output", "Output", linear(-24, 24), 0, dbText);
    addSwitch("polarity", "Polarity", false);
    addSwitch("mono", "Mono", false);
    addSwitch("console", "Console", false);
    addFloat("drive", "Drive", linear(0, 36), 12, dbText);
    addFloat("hpf", "HPF", offRange(20, 350), 0, offHzText);
    addFloat("lpf", "LPF", offRange(12000, 3000), 0, offHzText);
    addFloat("lf_gain", "LF Gain", linear(-17, 17), 0, dbText);
    addFloat("lf_freq", "LF Freq", logRange(30, 450), 100, hzText);
    addSwitch("lf_bell", "LF Bell", false);
    addFloat("lmf_gain", "LMF Gain", linear(-17, 17), 0, dbText);
    addFloat("lmf_freq", "LMF Freq", logRange(200, 2500), 1000, hzText);
    addFloat("lmf_q", "LMF Q", logRange(0.5f, 3), 1.5f, qText);
    addSwitch("lmf_div3", "LMF /3", false);
    addFloat("hmf_gain", "HMF Gain", linear(-17, 17), 0, dbText);
    addFloat("hmf_freq", "HMF Freq", logRange(600, 7000), 3000, hzText);
    addFloat("hmf_q", "HMF Q", logRange(0.5f, 3), 1.5f, qText);
    addSwitch("hmf_mul3", "HMF x3", false);
    addFloat("hf_gain", "HF Gain", linear(-17, 17), 0, dbText);
    addFloat("hf_freq", "HF Freq", logRange(1500, 16000), 8000, hzText);
    addSwitch("hf_bell", "HF Bell", false);
    addSwitch("eq_on", "EQ On", true);
    addSwitch("dyn_before_eq", "Dynamics Before EQ", false);
    addSwitch("sc_int", "SC Int", false);
    addSwitch("gate_on", "Gate On", false);
    addFloat("gate_thresh", "Gate Threshold", linear(-60, 0), -40, dbText);
    addFloat("gate_range", "Gate Range", linear(0, 60), 40, dbText);
    addFloat("gate_release", "Gate Release", logRange(100, 4000), 100, msText);
    addFloat("gate_hyst", "Gate Hysteresis", linear(0, 12), 3, dbText);
    addSwitch("gate_fast", "Gate Fast", false);
    addFloat("tr_attack", "Attack", linear(-100, 100), 0, sPctText);
    addFloat("tr_sustain", "Sustain", linear(-100, 100), 0, sPctText);
    layout.add(std::make_unique<juce::AudioParameterChoice>(
        juce::ParameterID { "tr_shape", 1 }, "Hit Shape",
        juce::StringArray { "Sharp", "Natural", "Round" }, 1));
    addFloat("tr_det_hp", "Detect HP", logRange(20, 20000), 20, hzText);
    addFloat("tr_det_lp", "Detect LP", logRange(20, 20000), 20000, hzText);
    addSwitch("comp_on", "Comp On", false);
    addSwitch("comp_channel", "Comp Channel", false);
    addFloat("comp_ratio", "Comp Ratio", logRange(1, 100), 4, ratioText);
    addFloat("comp_thresh", "Comp Threshold", linear(-50, 0), 0, dbText);
    addFloat("comp_release", "Comp Release", logRange(100, 4000), 100, msText);
    addSwitch("comp_auto", "Comp Auto Release", false);
    addSwitch("comp_slow", "Comp Slow Attack", false);
    addFloat("comp_mix", "Comp Mix", linear(0, 100), 100, pctText);
    addFloat("comp_link", "Comp Link", linear(0, 100), 100, pctText);
    addFloat("comp_hpsc", "Comp SC HPF", offRange(20, 250), 0, offHzText);
    addSwitch("comp_makeup", "Comp Auto Makeup", false);
    addSwitch("bypass", "Bypass", false);
    addSwitch("level_match", "Level Match", false);
    addSwitch("delta", "Delta", false);
    addSwitch("guard", "Safety", true);

    return layout;
}

} // namespace vovuza
