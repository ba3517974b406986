// The strip's filters and EQ measured through the VST3 interface: steady sines
// in, level out, compared with the analog prototypes of each band.
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

using cplx = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;

// Analog prototypes, evaluated at s = j·f/f0.
cplx bell(double f, double f0, double gainDb, double q)
{
    const double a = std::pow(10.0, gainDb / 40.0);
    const cplx s(0, f / f0);
    return (s * s + s * (a / q) + 1.0) / (s * s + s / (a * q) + 1.0);
}

cplx lowShelf(double f, double f0, double gainDb, double q)
{
    const double a = std::pow(10.0, std::abs(gainDb) / 40.0);
    const cplx s(0, f / f0);
    const cplx h = a * (s * s + (std::sqrt(a) / q) * s + a) / (a * s * s + (std::sqrt(a) / q) * s + 1.0);
    return gainDb < 0 ? 1.0 / h : h;
}

cplx highShelf(double f, double f0, double gainDb, double q)
{
    const double g = std::pow(10.0, std::abs(gainDb) / 20.0);
    const cplx h = g / lowShelf(f, f0, std::abs(gainDb), q);
    return gainDb < 0 ? 1.0 / h : h;
}

// Third-order Butterworth high-pass and second-order Butterworth low-pass.
double butterworthHighPassDb(double f, double f0) { return -10.0 * std::log10(1.0 + std::pow(f0 / f, 6)); }
double butterworthLowPassDb(double f, double f0) { return -10.0 * std::log10(1.0 + std::pow(f / f0, 4)); }

double db(cplx h) { return 20.0 * std::log10(std::abs(h)); }

// Knob positions of the parameter ranges, from their mapping formulas.
float logPos(double x, double lo, double hi) { return static_cast<float>(std::log(x / lo) / std::log(hi / lo)); }
float offPos(double x, double a, double b) { return static_cast<float>(0.95 * std::log(x / a) / std::log(b / a) + 0.05); }
float linPos(double x, double lo, double hi) { return static_cast<float>((x - lo) / (hi - lo)); }

class EqResponse : public ::testing::TestWithParam<double>
{
protected:
    void SetUp() override
    {
        juce::String error;
        juce::PluginDescription description;
        plugin = probe::loadPlugin(juce::File(VOVUZA_BUNDLE), rate(), kBlock, description, error);
        ASSERT_NE(plugin, nullptr) << error;
    }

    void TearDown() override
    {
        if (plugin)
            plugin->releaseResources();
    }

    double rate() const { return GetParam(); }

    // The matched design equals the prototype at DC, Nyquist and the matching
    // frequency; between them it stays within hundredths of a dB up to fs/8 and
    // drifts by a few tenths in the top octave. High shelves, matched above their
    // corner, are the loosest below fs/8 (under 0.1 dB).
    double tolerance(double f, double low = 0.05) const { return f <= rate() / 8 ? low : 0.4; }

    void set(const juce::String& name, float normalised)
    {
        for (auto* p : plugin->getParameters())
            if (p->getName(100) == name)
            {
                p->setValueNotifyingHost(normalised);
                return;
            }
        FAIL() << "no parameter " << name;
    }

    // Level change in dB of a steady sine at f through the plug-in.
    double measureDb(double f)
    {
        EXPECT_TRUE(probe::prepareLayout(*plugin, 2, rate(), kBlock));
        const int settle = static_cast<int>(rate() * 0.6);
        const int periods = std::max(20, static_cast<int>(f * 0.2));
        const int measure = static_cast<int>(std::round(periods * rate() / f));
        juce::AudioBuffer<float> buffer(2, kBlock);
        juce::MidiBuffer midi;
        double sumIn = 0, sumOut = 0;
        const int latency = plugin->getLatencySamples();
        const int total = settle + measure + latency;
        for (int start = 0; start < total; start += kBlock)
        {
            for (int i = 0; i < kBlock; ++i)
            {
                const float x = static_cast<float>(0.25 * std::sin(2 * kPi * f * (start + i) / rate()));
                buffer.setSample(0, i, x);
                buffer.setSample(1, i, x);
                const int t = start + i;
                if (t >= settle && t < settle + measure)
                    sumIn += double(x) * x;
            }
            plugin->processBlock(buffer, midi);
            for (int i = 0; i < kBlock; ++i)
            {
                const int t = start + i - latency;
                if (t >= settle && t < settle + measure)
                    sumOut += double(buffer.getSample(0, i)) * buffer.getSample(0, i);
            }
        }
        plugin->releaseResources();
        return 10.0 * std::log10(sumOut / sumIn);
    }

    static constexpr int kBlock = 512;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

TEST_P(EqResponse, HighPassIsThirdOrderButterworth)
{
    set("HPF", offPos(100, 20, 350));
    EXPECT_NEAR(measureDb(100), -3.0103, 0.02);
    for (const double f : { 50.0, 200.0, 1000.0 })
        EXPECT_NEAR(measureDb(f), butterworthHighPassDb(f, 100), 0.05) << f;
}

TEST_P(EqResponse, LowPassIsSecondOrderButterworth)
{
    set("LPF", offPos(6000, 12000, 3000));
    EXPECT_NEAR(measureDb(6000), -3.0103, 0.05);
    for (const double f : { 1000.0, 3000.0, 9000.0 })
        EXPECT_NEAR(measureDb(f), butterworthLowPassDb(f, 6000), 0.1) << f;
}

TEST_P(EqResponse, LowShelfBoostFollowsItsPrototype)
{
    set("LF Gain", linPos(12, -17, 17));
    set("LF Freq", logPos(100, 30, 450));
    for (const double f : { 20.0, 60.0, 100.0, 200.0, 1000.0 })
        EXPECT_NEAR(measureDb(f), db(lowShelf(f, 100, 12, 0.528)), 0.05) << f;
}

TEST_P(EqResponse, HighShelfCutWithItsCompanionBell)
{
    const double hf = 8000;
    set("HF Gain", linPos(-10, -17, 17));
    set("HF Freq", logPos(hf, 1500, 16000));
    for (const double f : { 500.0, 2000.0, 3088.0, 8000.0, 15000.0 })
    {
        const double expected = db(highShelf(f, hf, -10, 0.513) * bell(f, 0.386 * hf, 2.31, 0.65));
        EXPECT_NEAR(measureDb(f), expected, tolerance(f, 0.1)) << f;
    }
}

TEST_P(EqResponse, MidBellsWithProportionalQ)
{
    set("LMF Gain", linPos(9, -17, 17));
    set("LMF Freq", logPos(600, 200, 2500));
    set("LMF /3", 1.0f);
    set("HMF Gain", linPos(-6, -17, 17));
    set("HMF Freq", logPos(2000, 600, 7000));
    set("HMF x3", 1.0f);
    const double qL = 0.2 * std::pow(1.5, 0.86) * std::pow(10.0, 0.364 * 9 / 40);
    const double qH = 0.2 * std::pow(1.5, 0.86) * std::pow(10.0, 0.364 * 6 / 40);
    for (const double f : { 60.0, 200.0, 700.0, 6000.0, 12000.0 })
    {
        const double expected = db(bell(f, 200, 9, qL) * bell(f, 6000, -6, qH));
        EXPECT_NEAR(measureDb(f), expected, tolerance(f)) << f;
    }
}

TEST_P(EqResponse, EqOffIsFlat)
{
    set("HPF", offPos(200, 20, 350));
    set("LF Gain", linPos(12, -17, 17));
    set("EQ On", 0.0f);
    for (const double f : { 50.0, 1000.0 })
        EXPECT_NEAR(measureDb(f), 0.0, 1e-3) << f;
}

INSTANTIATE_TEST_SUITE_P(Rates, EqResponse, ::testing::Values(44100.0, 48000.0));

} // namespace
