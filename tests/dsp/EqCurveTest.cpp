#include "vaz/EqCurve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using vaz::EqSettings;

TEST(EqCurve, DefaultSettingsGiveFlatBandsAndParkedFilters)
{
    const auto curve = vaz::buildEqCurve(EqSettings {}, 48000);
    EXPECT_EQ(curve.gainScale, 1.0);

    const auto& hpf = curve.bands[vaz::kHpfEntry];
    EXPECT_FALSE(hpf.on);
    EXPECT_EQ(hpf.type, 4);
    EXPECT_EQ(hpf.freq, 1000);
    EXPECT_EQ(hpf.slope, 18);
    const auto& lpf = curve.bands[vaz::kLpfEntry];
    EXPECT_FALSE(lpf.on);
    EXPECT_EQ(lpf.type, 5);
    EXPECT_EQ(lpf.slope, 12);

    const struct { int entry, type; double freq, q; } bands[] = {
        { vaz::kLfEntry, 1, 100, 0.528 },
        { vaz::kLmfEntry, 0, 1000, 0.2 * std::pow(1.5, 0.86) },
        { vaz::kHmfEntry, 0, 3000, 0.2 * std::pow(1.5, 0.86) },
        { vaz::kHfEntry, 2, 8000, 0.513 },
        { vaz::kHfCompanionEntry, 0, 0.386 * 8000, 0.65 },
    };
    for (const auto& b : bands)
    {
        const auto& band = curve.bands[static_cast<size_t>(b.entry)];
        EXPECT_TRUE(band.on) << b.entry;
        EXPECT_EQ(band.type, b.type) << b.entry;
        EXPECT_DOUBLE_EQ(band.freq, b.freq) << b.entry;
        EXPECT_DOUBLE_EQ(band.q, b.q) << b.entry;
        EXPECT_EQ(band.gainDb, 0.0) << b.entry;
        EXPECT_EQ(band.channels, 0) << b.entry;
    }
    EXPECT_NEAR(curve.bands[vaz::kLmfEntry].q, 0.283, 5e-4);

    for (size_t i = vaz::kEqEntries; i < curve.bands.size(); ++i)
    {
        const auto& b = curve.bands[i];
        EXPECT_FALSE(b.on);
        EXPECT_EQ(b.type, 0);
        EXPECT_EQ(b.freq, 1000);
        EXPECT_EQ(b.gainDb, 0);
        EXPECT_EQ(b.q, 1);
        EXPECT_EQ(b.slope, 24);
    }
}

TEST(EqCurve, FiltersSwitchOnAtTheirFrequency)
{
    EqSettings eq;
    eq.hpfHz = 20;
    eq.lpfHz = 3000;
    const auto curve = vaz::buildEqCurve(eq, 48000);
    EXPECT_TRUE(curve.bands[vaz::kHpfEntry].on);
    EXPECT_EQ(curve.bands[vaz::kHpfEntry].freq, 20);
    EXPECT_TRUE(curve.bands[vaz::kLpfEntry].on);
    EXPECT_EQ(curve.bands[vaz::kLpfEntry].freq, 3000);
}

TEST(EqCurve, FrequencyMultipliersAndNyquistLimit)
{
    const struct { double rate, lmfHz; bool div3; double hmfHz; bool mul3; double hfHz;
                   double lmfOut, hmfOut, hfOut; } cases[] = {
        { 48000, 600, true, 3000, true, 8000, 200, 9000, 8000 },
        { 44100, 2500, false, 7000, true, 16000, 2500, 0.45 * 44100, 16000 },
        { 32000, 1000, false, 7000, false, 16000, 1000, 7000, 14400 },
        { 22050, 1000, false, 6000, false, 16000, 1000, 6000, 0.45 * 22050 },
        { 22050, 1000, false, 4000, true, 1500, 1000, 0.45 * 22050, 1500 },
    };
    for (const auto& c : cases)
    {
        EqSettings eq;
        eq.lmfHz = c.lmfHz;
        eq.lmfDiv3 = c.div3;
        eq.hmfHz = c.hmfHz;
        eq.hmfMul3 = c.mul3;
        eq.hfHz = c.hfHz;
        const auto curve = vaz::buildEqCurve(eq, c.rate);
        EXPECT_DOUBLE_EQ(curve.bands[vaz::kLmfEntry].freq, c.lmfOut) << c.rate;
        EXPECT_DOUBLE_EQ(curve.bands[vaz::kHmfEntry].freq, c.hmfOut) << c.rate;
        EXPECT_DOUBLE_EQ(curve.bands[vaz::kHfEntry].freq, c.hfOut) << c.rate;
        EXPECT_DOUBLE_EQ(curve.bands[vaz::kHfCompanionEntry].freq, 0.386 * c.hfOut) << c.rate;
    }
    // 16 kHz at 32 kHz: HF at 14.4 kHz and its companion at 5558.4 Hz.
    EqSettings eq;
    eq.hfHz = 16000;
    EXPECT_NEAR(vaz::buildEqCurve(eq, 32000).bands[vaz::kHfCompanionEntry].freq, 5558.4, 1e-9);
}

TEST(EqCurve, ProportionalQNarrowsWithGain)
{
    for (const double gain : { -17.0, 17.0 })
        EXPECT_NEAR(vaz::proportionalQ(1.5, gain) / vaz::proportionalQ(1.5, 0), 1.43, 0.005) << gain;
    EXPECT_NEAR(vaz::proportionalQ(1.5, 0), 0.283, 5e-4);
    EXPECT_DOUBLE_EQ(vaz::proportionalQ(0.5, 8), 0.2 * std::pow(0.5, 0.86) * std::pow(10.0, 0.364 * 8 / 40));

    EqSettings eq;
    eq.lmfGainDb = -17;
    eq.lmfQ = 3;
    eq.hmfGainDb = 9;
    const auto curve = vaz::buildEqCurve(eq, 48000);
    EXPECT_DOUBLE_EQ(curve.bands[vaz::kLmfEntry].q, vaz::proportionalQ(3, -17));
    EXPECT_DOUBLE_EQ(curve.bands[vaz::kHmfEntry].q, vaz::proportionalQ(1.5, 9));
    EXPECT_EQ(curve.bands[vaz::kLmfEntry].gainDb, -17);
}

TEST(EqCurve, ShelfAndBellShapes)
{
    EqSettings eq;
    eq.lfGainDb = 6;
    eq.hfGainDb = 10;
    auto curve = vaz::buildEqCurve(eq, 48000);
    EXPECT_EQ(curve.bands[vaz::kLfEntry].type, 1);
    EXPECT_EQ(curve.bands[vaz::kHfEntry].type, 2);
    EXPECT_DOUBLE_EQ(curve.bands[vaz::kHfCompanionEntry].gainDb, -2.31);

    eq.lfBell = true;
    eq.hfBell = true;
    curve = vaz::buildEqCurve(eq, 48000);
    EXPECT_EQ(curve.bands[vaz::kLfEntry].type, 0);
    EXPECT_EQ(curve.bands[vaz::kLfEntry].q, 0.75);
    EXPECT_EQ(curve.bands[vaz::kHfEntry].type, 0);
    EXPECT_EQ(curve.bands[vaz::kHfEntry].q, 0.82);
    EXPECT_EQ(curve.bands[vaz::kHfCompanionEntry].gainDb, 0.0);
}

TEST(EqCurve, EqOffSwitchesEveryEntryOff)
{
    EqSettings eq;
    eq.on = false;
    eq.hpfHz = 80;
    eq.lfGainDb = 5;
    const auto curve = vaz::buildEqCurve(eq, 48000);
    for (const auto& b : curve.bands)
        EXPECT_FALSE(b.on);
    EXPECT_EQ(curve.bands[vaz::kLfEntry].gainDb, 5);   // the values stay, so the bands glide back
}

} // namespace
