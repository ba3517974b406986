#include "VovuzaAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vovuza;

namespace {

juce::RangedAudioParameter& param(VovuzaAudioProcessor& p, const char* id)
{
    auto* r = p.parameters.getParameter(id);
    if (r == nullptr)
        throw std::runtime_error(std::string("no parameter ") + id);
    return *r;
}

float plainAt(juce::RangedAudioParameter& p, float normalised) { return p.convertFrom0to1(normalised); }

struct ParamRow { const char* id; const char* name; float def; const char* defText; };

// The parameter table in the order the host lists it.
const ParamRow kTable[] = {
    { "input", "Input", 0, "0.0 dB" },            { "output", "Output", 0, "0.0 dB" },
    { "polarity", "Polarity", 0, "Off" },         { "mono", "Mono", 0, "Off" },
    { "console", "Console", 0, "Off" },           { "drive", "Drive", 12, "+12.0 dB" },
    { "hpf", "HPF", 0, "OFF" },                   { "lpf", "LPF", 0, "OFF" },
    { "lf_gain", "LF Gain", 0, "0.0 dB" },        { "lf_freq", "LF Freq", 100, "100 Hz" },
    { "lf_bell", "LF Bell", 0, "Off" },           { "lmf_gain", "LMF Gain", 0, "0.0 dB" },
    { "lmf_freq", "LMF Freq", 1000, "1.00 kHz" }, { "lmf_q", "LMF Q", 1.5f, "1.50" },
    { "lmf_div3", "LMF /3", 0, "Off" },           { "hmf_gain", "HMF Gain", 0, "0.0 dB" },
    { "hmf_freq", "HMF Freq", 3000, "3.00 kHz" }, { "hmf_q", "HMF Q", 1.5f, "1.50" },
    { "hmf_mul3", "HMF x3", 0, "Off" },           { "hf_gain", "HF Gain", 0, "0.0 dB" },
    { "hf_freq", "HF Freq", 8000, "8.00 kHz" },   { "hf_bell", "HF Bell", 0, "Off" },
    { "eq_on", "EQ On", 1, "On" },                { "dyn_before_eq", "Dynamics Before EQ", 0, "Off" },
    { "sc_int", "SC Int", 0, "Off" },             { "gate_on", "Gate On", 0, "Off" },
    { "gate_thresh", "Gate Threshold", -40, "-40.0 dB" }, { "gate_range", "Gate Range", 40, "+40.0 dB" },
    { "gate_release", "Gate Release", 100, "100 ms" },    { "gate_hyst", "Gate Hysteresis", 3, "+3.0 dB" },
    { "gate_fast", "Gate Fast", 0, "Off" },       { "tr_attack", "Attack", 0, "0 %" },
    { "tr_sustain", "Sustain", 0, "0 %" },        { "tr_shape", "Hit Shape", 1, "Natural" },
    { "tr_det_hp", "Detect HP", 20, "20 Hz" },    { "tr_det_lp", "Detect LP", 20000, "20.0 kHz" },
    { "comp_on", "Comp On", 0, "Off" },           { "comp_channel", "Comp Channel", 0, "Off" },
    { "comp_ratio", "Comp Ratio", 4, "4.0:1" },   { "comp_thresh", "Comp Threshold", 0, "0.0 dB" },
    { "comp_release", "Comp Release", 100, "100 ms" }, { "comp_auto", "Comp Auto Release", 0, "Off" },
    { "comp_slow", "Comp Slow Attack", 0, "Off" }, { "comp_mix", "Comp Mix", 100, "100 %" },
    { "comp_link", "Comp Link", 100, "100 %" },   { "comp_hpsc", "Comp SC HPF", 0, "OFF" },
    { "comp_makeup", "Comp Auto Makeup", 0, "Off" }, { "bypass", "Bypass", 0, "Off" },
    { "level_match", "Level Match", 0, "Off" },   { "delta", "Delta", 0, "Off" },
    { "guard", "Safety", 1, "On" },
};

TEST(Parameters, TableOrderNamesDefaultsAndTexts)
{
    VovuzaAudioProcessor p;
    const auto& params = p.getParameters();
    ASSERT_EQ(params.size(), 51);
    ASSERT_EQ(std::size(kTable), 51u);
    for (int i = 0; i < params.size(); ++i)
    {
        const auto& row = kTable[i];
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*>(params[i]);
        ASSERT_NE(ranged, nullptr);
        EXPECT_EQ(ranged->getParameterID(), row.id) << i;
        EXPECT_EQ(ranged->getVersionHint(), 1) << row.id;
        EXPECT_EQ(ranged->getName(100), row.name) << row.id;
        EXPECT_EQ(ranged->getLabel(), "") << row.id;
        EXPECT_TRUE(ranged->isAutomatable()) << row.id;
        EXPECT_NEAR(ranged->convertFrom0to1(ranged->getDefaultValue()), row.def, 1e-3f * (1 + std::abs(row.def))) << row.id;
        EXPECT_EQ(ranged->getCurrentValueAsText(), row.defText) << row.id;
    }
}

struct MapCase { const char* id; float normalised; float plain; double tolerance; const char* text; };

TEST(Parameters, NonLinearRangesMapAsSpecified)
{
    VovuzaAudioProcessor p;
    const MapCase cases[] = {
        { "hpf", 0.0f, 0, 0, "OFF" },           { "hpf", 0.0499f, 0, 0, "OFF" },
        { "hpf", 0.05f, 20, 1e-3, "20 Hz" },    { "hpf", 1.0f, 350, 1e-2, "350 Hz" },
        { "hpf", 0.5f, 77.6f, 0.05, "78 Hz" },  { "lpf", 0.05f, 12000, 0.1, "12.0 kHz" },
        { "lpf", 1.0f, 3000, 0.05, "3.00 kHz" }, { "lpf", 0.5f, 6223, 1, "6.22 kHz" },
        { "comp_ratio", 0.5f, 10, 1e-3, "10:1" }, { "comp_ratio", 1.0f, 100, 1e-2, "\xe2\x88\x9e:1" },
        { "tr_shape", 0.0f, 0, 0, "Sharp" },    { "tr_shape", 0.5f, 1, 0, "Natural" },
        { "tr_shape", 1.0f, 2, 0, "Round" },    { "comp_hpsc", 1.0f, 250, 1e-2, "250 Hz" },
    };
    for (const auto& c : cases)
    {
        auto& r = param(p, c.id);
        EXPECT_NEAR(plainAt(r, c.normalised), c.plain, c.tolerance) << c.id << " @ " << c.normalised;
        EXPECT_EQ(r.getText(c.normalised, 0), juce::String::fromUTF8(c.text)) << c.id << " @ " << c.normalised;
    }

    // Closed forms of the logarithmic mappings.
    EXPECT_NEAR(param(p, "lf_freq").getDefaultValue(), std::log(100.0 / 30) / std::log(15.0), 1e-5);
    EXPECT_NEAR(param(p, "comp_ratio").getDefaultValue(), std::log(4.0) / std::log(100.0), 1e-5);
    EXPECT_NEAR(param(p, "gate_release").getDefaultValue(), 0.0, 1e-6);
    EXPECT_NEAR(param(p, "comp_release").getDefaultValue(), 0.0, 1e-6);
    EXPECT_NEAR(param(p, "tr_det_hp").getDefaultValue(), 0.0, 1e-6);
    EXPECT_NEAR(param(p, "tr_det_lp").getDefaultValue(), 1.0, 1e-6);
}

TEST(Parameters, PlainValuesSnapToLegalValues)
{
    VovuzaAudioProcessor p;
    const struct { const char* id; float in, out; } cases[] = {
        { "hpf", 15, 20 }, { "hpf", 9, 0 }, { "hpf", 500, 350 }, { "hpf", 10, 20 },
        { "lpf", 2000, 3000 }, { "lpf", 1400, 0 }, { "lpf", 20000, 12000 },
        { "lf_freq", 10, 30 }, { "lf_freq", 900, 450 }, { "comp_hpsc", 12, 20 },
    };
    for (const auto& c : cases)
    {
        auto& r = param(p, c.id);
        EXPECT_NEAR(r.convertFrom0to1(r.convertTo0to1(c.in)), c.out, 1e-2 * (1 + c.out)) << c.id << " " << c.in;
    }
}

TEST(Parameters, TypingOffSwitchesAFilterOff)
{
    VovuzaAudioProcessor p;
    auto& hpf = param(p, "hpf");
    EXPECT_EQ(hpf.convertFrom0to1(hpf.getValueForText("OFF")), 0.0f);
    EXPECT_NEAR(hpf.convertFrom0to1(hpf.getValueForText("120")), 120.0f, 0.01f);
}

using TextFn = juce::String (*)(float, int);
struct TextCase { TextFn fn; float x; const char* text; };

TEST(Parameters, ValueTextsOfWorkedValues)
{
    const TextCase cases[] = {
        { dbText, 3, "+3.0 dB" },       { dbText, 0, "0.0 dB" },        { dbText, -12.5f, "-12.5 dB" },
        { dbText, 0.04f, "0.0 dB" },    { dbText, 0.06f, "+0.1 dB" },   { qText, 1.5f, "1.50" },
        { hzText, 100, "100 Hz" },      { hzText, 3000, "3.00 kHz" },   { hzText, 16000, "16.0 kHz" },
        { hzText, 999.6f, "1000 Hz" },  { hzText, 1000, "1.00 kHz" },   { hzText, 9999, "10.00 kHz" },
        { hzText, 10000, "10.0 kHz" },  { msText, 100, "100 ms" },      { msText, 2500, "2.50 s" },
        { msText, 4000, "4.00 s" },     { msText, 999, "999 ms" },      { sPctText, 25, "+25 %" },
        { sPctText, 0, "0 %" },         { sPctText, -100, "-100 %" },   { sPctText, 0.5f, "0 %" },
        { sPctText, 0.6f, "+1 %" },     { pctText, 100, "100 %" },      { offHzText, 0, "OFF" },
        { offHzText, -1, "OFF" },       { offHzText, 12000, "12.0 kHz" }, { ratioText, 4, "4.0:1" },
        { ratioText, 25, "25:1" },      { ratioText, 99.5f, "\xe2\x88\x9e:1" }, { ratioText, 100, "\xe2\x88\x9e:1" },
        { ratioText, 99.4f, "99:1" },   { ratioText, 1, "1.0:1" },      { ratioText, 9.9f, "9.9:1" },
        { ratioText, 10, "10:1" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.fn(c.x, 3), juce::String::fromUTF8(c.text)) << c.x;
}

TEST(Parameters, RootPropertiesAndRawValueCache)
{
    VovuzaAudioProcessor p;
    EXPECT_EQ(p.parameters.state.getType().toString(), "STATE");
    EXPECT_FALSE(static_cast<bool>(p.parameters.state.getProperty("expanded")));
    EXPECT_EQ(static_cast<double>(p.parameters.state.getProperty("uiScale")), 1.0);
    EXPECT_FALSE(p.undoManager.canUndo());

    // The snapshot follows a parameter change made through the host-facing API.
    auto& lf = param(p, "lf_gain");
    lf.setValueNotifyingHost(lf.convertTo0to1(-6.5f));
    EXPECT_NEAR(p.settings().eq.lfGainDb, -6.5, 1e-5);
}

} // namespace
