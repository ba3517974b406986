#include "StripHarness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

int firstAbove(const std::vector<double>& v, double threshold)
{
    for (size_t i = 0; i < v.size(); ++i)
        if (std::abs(v[i]) > threshold)
            return static_cast<int>(i);
    return -1;
}

struct RateCase { double rate; int latency; };

class LatencyPerRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(LatencyPerRate, ReportedLatencyIsWhereAnImpulseComesOut)
{
    const auto [rate, expected] = GetParam();
    EXPECT_EQ(vaz::latencySamples(rate), expected);

    StripHarness h(rate, 256);
    EXPECT_EQ(h.strip.latency(), expected);

    std::vector<double> left(2048, 0.0), right(2048, 0.0);
    left[10] = 0.8;
    right[10] = -0.6;
    h.run(left, right, {});
    EXPECT_EQ(firstAbove(left, 1e-12), 10 + expected);
    EXPECT_EQ(firstAbove(right, 1e-12), 10 + expected);
    EXPECT_EQ(left[10 + static_cast<size_t>(expected)], 0.8);
    EXPECT_EQ(right[10 + static_cast<size_t>(expected)], -0.6);
}

// Lookahead 2·max(4, round(0.75 ms)) plus the true-peak path (36 samples up to
// 100 kHz, 8 above), minus one.
INSTANTIATE_TEST_SUITE_P(Rates, LatencyPerRate,
                         ::testing::Values(RateCase { 44100, 66 + 36 - 1 }, RateCase { 48000, 72 + 36 - 1 },
                                           RateCase { 96000, 144 + 36 - 1 }, RateCase { 192000, 288 + 8 - 1 }));

TEST(Pipeline, NeutralSettingsGiveTheInputDelayedBitExactly)
{
    StripHarness h;
    const int lat = h.strip.latency();
    const auto inL = noise(20000, 1), inR = noise(20000, 2);
    auto left = inL, right = inR;
    h.run(left, right, {});

    for (int i = 0; i < lat; ++i)
    {
        ASSERT_EQ(left[i], 0.0);
        ASSERT_EQ(right[i], 0.0);
    }
    for (size_t i = static_cast<size_t>(lat); i < left.size(); ++i)
    {
        ASSERT_EQ(left[i], inL[i - lat]) << i;
        ASSERT_EQ(right[i], inR[i - lat]) << i;
    }
}

TEST(Pipeline, DeltaOfNeutralSettingsIsSilence)
{
    vaz::StripSettings s;
    s.delta = true;
    StripHarness h(48000, 512, s);
    auto left = noise(10000, 3), right = noise(10000, 4);
    h.run(left, right, s);
    for (size_t i = 0; i < left.size(); ++i)
    {
        ASSERT_EQ(left[i], 0.0) << i;
        ASSERT_EQ(right[i], 0.0) << i;
    }
}

TEST(Pipeline, BypassGivesTheAlignedRawInputWhateverTheSettings)
{
    vaz::StripSettings s;
    s.bypass = true;
    s.inputDb = 12;
    s.outputDb = -7;
    s.polarity = true;
    s.mono = true;
    StripHarness h(48000, 512, s);
    const int lat = h.strip.latency();
    const auto inL = noise(6000, 5), inR = noise(6000, 6);
    auto left = inL, right = inR;
    h.run(left, right, s);
    for (size_t i = static_cast<size_t>(lat); i < left.size(); ++i)
    {
        ASSERT_EQ(left[i], inL[i - lat]);
        ASSERT_EQ(right[i], inR[i - lat]);
    }
}

TEST(Pipeline, InputAndOutputGainsApplyFromTheFirstSample)
{
    vaz::StripSettings s;
    s.inputDb = 6;
    s.outputDb = -9;
    StripHarness h(48000, 512, s);
    const int lat = h.strip.latency();
    const auto in = noise(4000, 7);
    auto left = in, right = in;
    h.run(left, right, s);
    const double gain = std::pow(10.0, (6.0 - 9.0) / 20.0);
    for (size_t i = static_cast<size_t>(lat); i < left.size(); ++i)
        ASSERT_NEAR(left[i], in[i - lat] * gain, 1e-14);
}

TEST(Pipeline, OutputGainChangeFollowsA20msOnePole)
{
    const double rate = 48000;
    StripHarness h(rate);
    const int lat = h.strip.latency();
    const size_t change = 4096;   // a block boundary
    std::vector<double> left(change + 8 * 512, 1.0), right = left;
    vaz::StripSettings s;
    for (size_t start = 0; start < left.size(); start += 512)
    {
        if (start == change)
            s.outputDb = -6;
        h.strip.set(s);
        h.strip.process(left.data() + start, right.data() + start, 512);
    }
    // After one time constant, 1/e of the step remains; after four, e^-4.
    const double target = std::pow(10.0, -6.0 / 20.0);
    for (int constants = 1; constants <= 3; ++constants)
    {
        const size_t at = change + static_cast<size_t>(lat) + static_cast<size_t>(constants) * 960 - 1;
        EXPECT_NEAR(left[at], target + (1.0 - target) * std::exp(-constants), 1e-9) << constants;
    }
}

// Applies a change at a block boundary of a constant input and returns the
// output from the change on (delay removed).
std::vector<double> stepResponse(vaz::StripSettings before, vaz::StripSettings after, double level,
                                 std::vector<double>* rightOut = nullptr, double rightLevel = 0)
{
    StripHarness h(48000, 512, before);
    const size_t change = 2048, total = 4096;
    std::vector<double> left(total, level), right(total, rightOut ? rightLevel : level);
    for (size_t start = 0; start < total; start += 512)
    {
        h.strip.set(start < change ? before : after);
        h.strip.process(left.data() + start, right.data() + start, 512);
    }
    const size_t from = change + static_cast<size_t>(h.strip.latency());
    if (rightOut)
        rightOut->assign(right.begin() + static_cast<long>(from), right.end());
    return { left.begin() + static_cast<long>(from), left.end() };
}

TEST(Pipeline, PolarityFlipIsA5msLinearRampThroughSilence)
{
    vaz::StripSettings on;
    on.polarity = true;
    const auto y = stepResponse({}, on, 0.5);
    const int ramp = 240;   // 5 ms at 48 kHz
    for (int k = 0; k < ramp; ++k)
        ASSERT_NEAR(y[k], 0.5 * (1.0 - 2.0 * (k + 1) / ramp), 1e-12) << k;
    for (int k = ramp; k < ramp + 100; ++k)
        ASSERT_EQ(y[k], -0.5);
}

TEST(Pipeline, ChangingTheStageOrderDipsToSilenceFor5msEachWay)
{
    vaz::StripSettings dynFirst;
    dynFirst.dynBeforeEq = true;
    vaz::StripSettings scInt;
    scInt.scInt = true;
    for (const auto& after : { dynFirst, scInt })
    {
        const auto y = stepResponse({}, after, 0.5);
        const int ramp = 240;   // 5 ms at 48 kHz
        for (int k = 0; k < ramp; ++k)
            ASSERT_NEAR(y[k], 0.5 * (1.0 - (k + 1.0) / ramp), 1e-12) << k;
        // The fade lands exactly on 0 (within one step of rounding) and holds
        // there until the next sub-block, where the new arrangement takes over
        // and the fade rises again.
        const auto zero = std::find(y.begin(), y.end(), 0.0) - y.begin();
        EXPECT_TRUE(zero == ramp - 1 || zero == ramp) << zero;
        const int nextSubBlock = 512;   // the change came at a sub-block start
        for (auto k = zero; k < nextSubBlock; ++k)
            ASSERT_EQ(y[k], 0.0) << k;
        for (int j = 0; j < ramp; ++j)
            ASSERT_NEAR(y[nextSubBlock + j], 0.5 * (j + 1.0) / ramp, 1e-12) << j;
        EXPECT_EQ(y[nextSubBlock + ramp + 10], 0.5);
    }
}

// Largest sample-to-sample step of a signal, a measure of clicks.
double largestStep(const std::vector<double>& v, size_t from)
{
    double step = 0;
    for (size_t i = from + 1; i < v.size(); ++i)
        step = std::max(step, std::abs(v[i] - v[i - 1]));
    return step;
}

TEST(Pipeline, StageOrderChangesWithAnActiveEqDoNotClick)
{
    // A 100 Hz sine through a +12 dB LF bell; switching the EQ into and out of
    // the sidechain changes the level by 12 dB, which must happen behind the fade.
    const double rate = 48000, f = 100, amplitude = 0.1;
    for (const int block : { 64, 512, 2048 })
    {
        vaz::StripSettings s;
        s.eq.lfBell = true;
        s.eq.lfGainDb = 12;
        StripHarness h(rate, block, s);
        std::vector<double> left(static_cast<size_t>(rate)), right;
        for (size_t i = 0; i < left.size(); ++i)
            left[i] = amplitude * std::sin(2 * kPi * f * static_cast<double>(i) / rate);
        right = left;
        for (size_t start = 0; start < left.size(); start += static_cast<size_t>(block))
        {
            s.scInt = (start / 4096) % 2 == 1;   // toggles every 4096 samples
            h.strip.set(s);
            const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), left.size() - start));
            h.strip.process(left.data() + start, right.data() + start, n);
        }
        // The steepest slope of the boosted sine is 2π·f/fs · 4 · amplitude per sample.
        const double sineStep = 2 * kPi * f / rate * std::pow(10.0, 12 / 20.0) * amplitude;
        EXPECT_LT(largestStep(left, 2000), 1.1 * sineStep) << block;
    }
}

TEST(Pipeline, MonoCarriesTheLeftInputToBothSidesWithA5msBlend)
{
    vaz::StripSettings mono;
    mono.mono = true;
    std::vector<double> right;
    const auto left = stepResponse({}, mono, 0.5, &right, -0.25);
    const int ramp = 240;
    for (int k = 0; k < ramp + 50; ++k)
    {
        ASSERT_EQ(left[k], 0.5);
        const double blend = std::min(1.0, (k + 1.0) / ramp);
        ASSERT_NEAR(right[k], -0.25 + blend * 0.75, 1e-12) << k;
    }
    EXPECT_EQ(right[ramp], 0.5);
}

TEST(Pipeline, SleepsAfterOneSecondOfSilenceAndWakesClean)
{
    const double rate = 48000;
    StripHarness h(rate, 480);
    const int lat = h.strip.latency();

    // Half a second of noise, then half a second of zeros: still awake, and the
    // delayed tail comes out of the zero stretch.
    auto left = noise(24000, 8), right = noise(24000, 9);
    const auto lastL = left;
    left.resize(48000, 0.0);
    right.resize(48000, 0.0);
    h.run(left, right, {});
    EXPECT_FALSE(h.strip.isAsleep());
    for (int i = 0; i < lat; ++i)
        ASSERT_EQ(left[24000 + static_cast<size_t>(i)], lastL[24000 - static_cast<size_t>(lat) + static_cast<size_t>(i)]);

    // Another second of zeros: asleep once a full second has passed.
    std::vector<double> zl(48000, 0.0), zr(48000, 0.0);
    h.run(zl, zr, {});
    EXPECT_TRUE(h.strip.isAsleep());

    // The serial counter keeps moving while asleep.
    const int serialBefore = h.strip.feed.serial.load();
    std::vector<double> more(4800, 0.0), moreR(4800, 0.0);
    h.run(more, moreR, {});
    EXPECT_TRUE(h.strip.isAsleep());
    EXPECT_EQ(h.strip.feed.serial.load() - serialBefore, 10);

    // The first non-zero sample wakes the strip with every delay line cleared.
    std::vector<double> wakeL(2000, 0.0), wakeR(2000, 0.0);
    wakeL[5] = 0.3;
    h.run(wakeL, wakeR, {});
    EXPECT_FALSE(h.strip.isAsleep());
    EXPECT_EQ(firstAbove(wakeL, 0.0), 5 + lat);
    EXPECT_EQ(wakeL[5 + static_cast<size_t>(lat)], 0.3);
    EXPECT_EQ(firstAbove(wakeR, 0.0), -1);
}

TEST(Pipeline, WakingFromSleepLeavesTheFiltersRunning)
{
    // After a wake the strip must sound exactly like a freshly prepared one: the
    // block after the wake must not clear the filters again.
    vaz::StripSettings s;
    s.eq.lfBell = true;
    s.eq.lfGainDb = 12;
    s.eq.lfHz = 60;
    s.eq.hpfHz = 30;
    std::vector<double> wake(4096), wakeR;
    for (size_t i = 0; i < wake.size(); ++i)
        wake[i] = 0.5 * std::sin(2 * kPi * 60 * static_cast<double>(i) / 48000);
    wakeR = wake;

    StripHarness slept(48000, 512, s);
    std::vector<double> zl(2 * 48000, 0.0), zr = zl;
    slept.run(zl, zr, s);
    ASSERT_TRUE(slept.strip.isAsleep());
    auto a = wake, aR = wakeR;
    slept.run(a, aR, s);

    StripHarness fresh(48000, 512, s);
    auto b = wake, bR = wakeR;
    fresh.run(b, bR, s);
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], b[i]) << i;
}

TEST(Pipeline, NaNNeverCountsAsSilence)
{
    StripHarness h(48000, 480);
    std::vector<double> left(48000 * 2, 0.0), right = left;
    for (size_t i = 0; i < left.size(); i += 480)
        left[i] = std::nan("");
    h.run(left, right, {});
    EXPECT_FALSE(h.strip.isAsleep());
}

} // namespace
