#include "StripHarness.h"
#include "vaz/EqCurve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kRate = 48000;

vaz::StripSettings boosted()
{
    vaz::StripSettings s;
    s.eq.lfGainDb = 12;
    s.eq.hpfHz = 40;
    s.eq.hmfGainDb = -6;
    return s;
}

// Gain left of a 0 → target glide after k control periods of 16 samples.
double glided(double target, int periods)
{
    return target * (1.0 - std::pow(std::exp(-16.0 / (0.02 * kRate)), periods));
}

TEST(StripEq, PreparedStripStartsWithTheFinalCurve)
{
    StripHarness h(kRate, 512, boosted());
    std::vector<double> left(512, 0.1), right(512, 0.1);
    h.run(left, right, boosted());
    const auto& eq = h.strip.getEqEngine();
    EXPECT_EQ(eq.gainDbOf(vaz::kLfEntry), 12.0);
    EXPECT_EQ(eq.gainDbOf(vaz::kHmfEntry), -6.0);
    EXPECT_EQ(eq.fadeOf(vaz::kHpfEntry), 0.0);
    EXPECT_TRUE(eq.isLive(vaz::kHpfEntry));
    EXPECT_NEAR(eq.freqOf(vaz::kHpfEntry), 40.0, 1e-9);
}

TEST(StripEq, LaterChangesGlideWithTheEngineSmoothing)
{
    StripHarness h(kRate, 512);
    std::vector<double> left(512, 0.1), right(512, 0.1);
    h.run(left, right, {});   // flat, settled
    vaz::StripSettings s;
    s.eq.lfGainDb = 12;
    h.strip.set(s);
    std::vector<double> block(160, 0.1), blockR(160, 0.1);
    h.strip.process(block.data(), blockR.data(), 160);   // ten control periods
    EXPECT_NEAR(h.strip.getEqEngine().gainDbOf(vaz::kLfEntry), glided(12, 10), 1e-9);
}

TEST(StripEq, EqOffFadesTheFiltersAndGlidesTheBandsOut)
{
    auto s = boosted();
    StripHarness h(kRate, 480, s);
    s.eq.on = false;
    std::vector<double> left(480, 0.1), right(480, 0.1);
    h.run(left, right, s);   // 10 ms
    const auto& eq = h.strip.getEqEngine();
    EXPECT_EQ(eq.fadeOf(vaz::kHpfEntry), 0.0);
    EXPECT_FALSE(eq.isLive(vaz::kHpfEntry));
    EXPECT_NEAR(eq.gainDbOf(vaz::kLfEntry), 12.0 - glided(12, 30), 1e-9);

    std::vector<double> more(48000, 0.1), moreR(48000, 0.1);
    h.run(more, moreR, s);
    EXPECT_EQ(eq.activeCount(), 0);
    EXPECT_EQ(eq.gainDbOf(vaz::kLfEntry), 0.0);
}

TEST(StripEq, ResetSnapsToTheCurrentSettings)
{
    StripHarness h(kRate, 512);
    std::vector<double> left(1024, 0.1), right(1024, 0.1);
    h.run(left, right, {});
    h.strip.set(boosted());       // would glide ...
    h.strip.reset();              // ... but a reset lands at once
    EXPECT_EQ(h.strip.getEqEngine().gainDbOf(vaz::kLfEntry), 12.0);
    std::vector<double> block(512, 0.1), blockR(512, 0.1);
    h.run(block, blockR, boosted());
    EXPECT_EQ(h.strip.getEqEngine().gainDbOf(vaz::kLfEntry), 12.0);
}

TEST(StripEq, ArrangementsRouteTheEq)
{
    const auto in = noise(8192, 41);
    auto runWith = [&](vaz::StripSettings s) {
        StripHarness h(kRate, 512, s);
        auto left = in, right = in;
        h.run(left, right, s);
        return left;
    };
    const auto eqFirst = runWith(boosted());
    auto dynFirstSettings = boosted();
    dynFirstSettings.dynBeforeEq = true;
    const auto dynFirst = runWith(dynFirstSettings);
    auto sidechainSettings = boosted();
    sidechainSettings.scInt = true;
    const auto sidechain = runWith(sidechainSettings);

    const size_t lat = static_cast<size_t>(vaz::latencySamples(kRate));
    double difference = 0;
    for (size_t i = lat; i < in.size(); ++i)
    {
        // With the EQ only in the sidechain the audio itself stays unequalised.
        ASSERT_EQ(sidechain[i], in[i - lat]) << i;
        // With the dynamics neutral, both in-line orders sound the same.
        ASSERT_NEAR(dynFirst[i], eqFirst[i], 1e-12) << i;
        difference = std::max(difference, std::abs(eqFirst[i] - in[i - lat]));
    }
    EXPECT_GT(difference, 0.05);   // and the in-line EQ does change the audio
}

} // namespace
