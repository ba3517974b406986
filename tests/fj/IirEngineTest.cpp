// The IIR engine measured on signals: glides, cross-fades, deferral of
// structural changes, the non-finite guard, snapping, channel modes and the
// absence of allocation on the processing path.

#include "TestSignals.h"

#include "fj/Design.h"
#include "fj/IirEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

using namespace fjtest;
using fj::Band;
using fj::Curve;
using fj::IirEngine;

// ---- allocation counter for the whole test binary ---------------------------

namespace {
std::atomic<bool> countAllocations{false};
std::atomic<long> allocations{0};
} // namespace

// Replaces the global allocation functions with malloc/free pairs that count.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size)
{
    if (countAllocations.load())
        ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

Curve curveWith(std::initializer_list<std::pair<int, Band>> entries)
{
    Curve c;
    for (const auto& e : entries)
        c.bands[static_cast<size_t>(e.first)] = e.second;
    return c;
}

// Reference cascade of every audible band of a curve, in slot order (both channels alike).
struct RefCurve {
    RefFilter left[fj::kMaxBands];
    RefFilter right[fj::kMaxBands];
    int used[fj::kMaxBands] = {};
    int count = 0;

    RefCurve(const Curve& c, double fs)
    {
        for (int i = 0; i < fj::kMaxBands; ++i) {
            const Band& b = c.bands[static_cast<size_t>(i)];
            if (!b.on)
                continue;
            left[count].sections = right[count].sections = fj::design(b, fs);
            ++count;
        }
    }
    void process(std::vector<double>& l, std::vector<double>& r)
    {
        for (size_t j = 0; j < l.size(); ++j)
            for (int k = 0; k < count; ++k) {
                l[j] = left[k].tick(l[j]);
                r[j] = right[k].tick(r[j]);
            }
    }
};

// Runs x through the engine in chunks of the given size (exercises the 16-sample phase).
void processChunked(IirEngine& e, std::vector<double>& l, std::vector<double>* r, int chunk)
{
    const int n = static_cast<int>(l.size());
    for (int i = 0; i < n; i += chunk) {
        const int m = std::min(chunk, n - i);
        e.process(l.data() + i, r != nullptr ? r->data() + i : nullptr, m);
    }
}

double maxAbsDiff(const std::vector<double>& a, const std::vector<double>& b, int begin = 0, int end = -1)
{
    if (end < 0)
        end = static_cast<int>(a.size());
    double d = 0.0;
    for (int i = begin; i < end; ++i)
        d = std::max(d, std::fabs(a[static_cast<size_t>(i)] - b[static_cast<size_t>(i)]));
    return d;
}

double smoothCoefFor(double fs) { return std::exp(-16.0 / (0.02 * fs)); }

} // namespace

// A bell's gain 0 -> +10 dB follows 10 * (1 - c^k) at control point k, measured
// both on the output (amplitude of a steady sine at the band frequency, and
// sample for sample against a filter redesigned at the closed-form gains) and by
// the slot's state. Redesign happens once per control point while moving, and
// never again once the gain is within 0.001 dB.
TEST(IirEngine, GainGlideFollowsTwentyMillisecondExponentialAndStopsRedesigning)
{
    for (double fs : {44100.0, 48000.0}) {
        const double f0 = fs / 16.0;   // one period per control period
        const double c = smoothCoefFor(fs);
        IirEngine e;
        e.prepare(fs);
        Curve curve = curveWith({{0, makeBand(fj::kBell, f0, 0.0, 0.7)}});
        e.set(curve);
        std::vector<double> warm(32, 0.0);
        e.process(warm.data(), nullptr, 32);
        EXPECT_EQ(e.activeCount(), 0);
        EXPECT_EQ(e.redesignCount(), 0);

        curve.bands[0].gainDb = 10.0;
        e.set(curve);

        RefFilter ref;
        const int chunks = static_cast<int>(0.3 * fs / 16);   // 300 ms
        int settledAt = 0;
        double worstAmplitudeErrorDb = 0.0;
        for (int k = 1; k <= chunks; ++k) {
            const bool settled = 10.0 * std::pow(c, k) < 0.001;
            if (settled && settledAt == 0)
                settledAt = k;
            const double expectedDb = settled ? 10.0 : 10.0 * (1.0 - std::pow(c, k));

            std::vector<double> x = sine(16, f0, fs, 0.5, 32 + 16 * (k - 1));
            std::vector<double> y = x;
            const long long before = e.redesignCount();
            e.process(y.data(), nullptr, 16);

            EXPECT_NEAR(e.gainDbOf(0), expectedDb, 1e-9) << "control point " << k;
            const bool shouldRedesign = settledAt == 0 || k == settledAt;
            EXPECT_EQ(e.redesignCount() - before, shouldRedesign ? 1 : 0) << "control point " << k;

            if (shouldRedesign)
                ref.sections = fj::design(makeBand(fj::kBell, f0, expectedDb, 0.7), fs);
            std::vector<double> expected = x;
            for (double& v : expected)
                v = ref.tick(v);
            EXPECT_LT(maxAbsDiff(y, expected), 1e-12) << "control point " << k;

            // Amplitude at f0 over the chunk: lags the gain by the bell's own settling.
            if (k > 8) {
                const double measuredDb = 20.0 * std::log10(amplitudeAt(y, 0, 16, f0, fs) / 0.5);
                worstAmplitudeErrorDb = std::max(worstAmplitudeErrorDb, std::fabs(measuredDb - expectedDb));
            }
        }
        ASSERT_GT(settledAt, 0);
        // 20 ms time constant sampled every 16 samples: about 0.184 s to come within 0.001 dB of 10 dB.
        EXPECT_NEAR(settledAt * 16.0 / fs, 0.02 * std::log(10.0 / 0.001), 16.0 / fs);
        EXPECT_LT(worstAmplitudeErrorDb, 0.1);
    }
}

// Switching a gain band off glides it to 0 dB and then it drops out of the engine.
TEST(IirEngine, SwitchedOffGainBandGlidesToZeroAndDropsOut)
{
    const double fs = 48000;
    const double c = smoothCoefFor(fs);
    IirEngine e;
    e.prepare(fs);
    Curve curve = curveWith({{3, makeBand(fj::kLowShelf, 200, -6.0, 0.6)}});
    e.set(curve);
    std::vector<double> x = noise(16, 1);
    e.process(x.data(), x.data(), 0);   // nothing happens for n = 0
    e.process(x.data(), nullptr, 16);
    ASSERT_TRUE(e.isLive(3));
    EXPECT_EQ(e.activeCount(), 1);

    curve.bands[3].on = false;
    curve.bands[3].type = fj::kHighShelf;   // a type change of a band being switched off does not matter
    e.set(curve);
    EXPECT_EQ(e.fadeOf(3), 0.0);   // no cross-fade: it glides out as it is
    EXPECT_EQ(e.typeOf(3), fj::kLowShelf);
    int k = 0;
    while (e.isLive(3) && k < 10000) {
        ++k;
        std::vector<double> y = noise(16, static_cast<std::uint32_t>(k));
        e.process(y.data(), nullptr, 16);
        const double expected = -6.0 * std::pow(c, k);
        if (std::fabs(expected) >= 0.001) {
            EXPECT_NEAR(e.gainDbOf(3), expected, 1e-9);
        }
    }
    EXPECT_EQ(e.gainDbOf(3), 0.0);
    EXPECT_EQ(e.activeCount(), 0);
    EXPECT_EQ(k, static_cast<int>(std::ceil(std::log(0.001 / 6.0) / std::log(c))));
    // Idle: the output is the input, untouched.
    std::vector<double> y = noise(64, 99), z = y;
    e.process(y.data(), nullptr, 64);
    EXPECT_EQ(y, z);
}

// High-pass on and off: the output is new + fade * (old - new) with fade falling
// linearly from 1 to 0 over exactly 0.01 * fs samples.
TEST(IirEngine, HighPassSwitchCrossFadesLinearlyOverTenMilliseconds)
{
    for (double fs : {44100.0, 48000.0}) {
        const int fadeLength = static_cast<int>(std::lround(0.01 * fs));
        IirEngine e;
        e.prepare(fs);
        Curve curve = curveWith({{0, makeBand(fj::kHighPass, 400, 0, 1, 18, false)}});
        e.set(curve);
        std::vector<double> pre = noise(100, 3), preCopy = pre;
        processChunked(e, pre, nullptr, 100);
        EXPECT_EQ(pre, preCopy);

        RefFilter hpf;
        hpf.sections = fj::design(makeBand(fj::kHighPass, 400, 0, 1, 18), fs);

        for (bool turnOn : {true, false}) {
            curve.bands[0].on = turnOn;
            e.set(curve);
            EXPECT_EQ(e.fadeOf(0), 1.0);
            EXPECT_EQ(e.isLive(0), turnOn);
            EXPECT_EQ(e.activeCount(), 1);

            const int n = 3 * fadeLength;
            std::vector<double> x = noise(n, turnOn ? 5 : 6);
            std::vector<double> y = x;
            processChunked(e, y, nullptr, 37);

            int checked = 0;
            for (int j = 0; j < n; ++j) {
                const double filtered = hpf.tick(x[static_cast<size_t>(j)]);
                const double target = turnOn ? filtered : x[static_cast<size_t>(j)];
                const double origin = turnOn ? x[static_cast<size_t>(j)] : filtered;
                const double fade = std::max(0.0, 1.0 - static_cast<double>(j) / fadeLength);
                ASSERT_NEAR(y[static_cast<size_t>(j)], target + fade * (origin - target), 1e-12)
                    << (turnOn ? "on" : "off") << " sample " << j;
                // The fade read back from the output itself.
                const double span = origin - target;
                if (std::fabs(span) > 0.05) {
                    EXPECT_NEAR((y[static_cast<size_t>(j)] - target) / span, fade, 1e-9) << j;
                    ++checked;
                }
            }
            EXPECT_GT(checked, fadeLength / 4);
            EXPECT_EQ(e.fadeOf(0), 0.0);
        }
        std::vector<double> tail(16, 0.0);
        e.process(tail.data(), nullptr, 16);
        EXPECT_EQ(e.activeCount(), 0);
    }
}

// A slot that runs a pass filter and then receives a switched-off gain band
// fades the pass filter out instead of keeping it.
TEST(IirEngine, PassFilterReplacedByAnOffGainBandFadesOut)
{
    IirEngine e;
    e.prepare(48000);
    e.set(curveWith({{1, makeBand(fj::kLowPass, 2000, 0, 1, 12)}}));
    std::vector<double> x = noise(64, 61);
    e.process(x.data(), nullptr, 64);
    ASSERT_TRUE(e.isLive(1));

    e.set(curveWith({{1, makeBand(fj::kBell, 2000, 6, 1, 24, false)}}));
    EXPECT_EQ(e.fadeOf(1), 1.0);
    EXPECT_FALSE(e.isLive(1));
    std::vector<double> y = noise(480 + 32, 62);
    e.process(y.data(), nullptr, static_cast<int>(y.size()));
    EXPECT_EQ(e.activeCount(), 0);
    std::vector<double> z = noise(64, 63), z0 = z;
    e.process(z.data(), nullptr, 64);
    EXPECT_EQ(z, z0);
}

// Bell -> shelf starts a fade; shelf -> bell during that fade changes nothing
// (the output is identical to an engine that never saw it); once the fade is
// over, the same request is applied and the band ends up a bell.
TEST(IirEngine, StructuralChangeDuringFadeIsDeferredUntilTheFadeEnds)
{
    const double fs = 48000;
    const double f0 = 1500.0;   // 32 samples per period
    const Curve bell = curveWith({{2, makeBand(fj::kBell, f0, 6.0, 1.0)}});
    const Curve shelf = curveWith({{2, makeBand(fj::kLowShelf, f0, 9.0, 0.7)}});
    IirEngine a, b;
    for (IirEngine* e : {&a, &b}) {
        e->prepare(fs);
        e->set(bell);
    }
    int t = 0;
    auto runBoth = [&](int n) {
        std::vector<double> ya = sine(n, f0, fs, 0.5, t), yb = ya;
        a.process(ya.data(), nullptr, n);
        b.process(yb.data(), nullptr, n);
        t += n;
        EXPECT_EQ(ya, yb);
        return ya;
    };
    runBoth(640);

    a.set(shelf);
    b.set(shelf);
    EXPECT_EQ(a.typeOf(2), fj::kLowShelf);
    EXPECT_EQ(a.fadeOf(2), 1.0);
    EXPECT_EQ(a.gainDbOf(2), 9.0);   // a cross-faded band starts at its target, no glide
    runBoth(100);
    const double fadeBefore = a.fadeOf(2);
    ASSERT_GT(fadeBefore, 0.0);

    a.set(bell);   // during the fade: ignored
    EXPECT_EQ(a.typeOf(2), fj::kLowShelf);
    EXPECT_EQ(a.fadeOf(2), fadeBefore);
    runBoth(380);   // output identical to b's through the rest of the fade
    EXPECT_EQ(a.fadeOf(2), 0.0);

    a.set(bell);   // now taken up
    b.set(shelf);
    EXPECT_EQ(a.typeOf(2), fj::kBell);
    EXPECT_EQ(a.fadeOf(2), 1.0);

    std::vector<double> ya = sine(4800, f0, fs, 0.5, t), yb = ya;
    a.process(ya.data(), nullptr, 4800);
    b.process(yb.data(), nullptr, 4800);
    EXPECT_EQ(a.gainDbOf(2), 6.0);
    // Steady state at f0: the bell gives its full +6 dB, the +9 dB shelf about half of its gain.
    EXPECT_NEAR(20.0 * std::log10(amplitudeAt(ya, 1600, 4800, f0, fs) / 0.5), 6.0, 1e-3);
    EXPECT_NEAR(20.0 * std::log10(amplitudeAt(yb, 1600, 4800, f0, fs) / 0.5), 4.5, 0.1);
}

// A NaN in the input: the samples whose output is non-finite become 0, every
// state is cleared, and processing continues like a freshly cleared engine.
TEST(IirEngine, NonFiniteOutputIsZeroedAndStateCleared)
{
    const double fs = 48000;
    const Curve curve = curveWith({{0, makeBand(fj::kHighPass, 60, 0, 1, 18)},
                                   {4, makeBand(fj::kBell, 2500, 6.0, 1.2)}});
    IirEngine a, reference, fresh;
    for (IirEngine* e : {&a, &reference, &fresh}) {
        e->prepare(fs);
        e->set(curve);
    }
    const int n = 2048, nanAt = 1029, runEnd = 1040;   // the 16-sample run [1024, 1040)
    std::vector<double> l = noise(n, 11), r = noise(n, 12);
    std::vector<double> refL = l, refR = r;
    l[nanAt] = std::numeric_limits<double>::quiet_NaN();

    processChunked(a, l, &r, 200);
    processChunked(reference, refL, &refR, 200);

    std::vector<double> freshL(refL.size()), freshR(refR.size());
    {
        std::vector<double> inL = noise(n, 11), inR = noise(n, 12);
        std::vector<double> tailL(inL.begin() + runEnd, inL.end()), tailR(inR.begin() + runEnd, inR.end());
        fresh.process(tailL.data(), tailR.data(), static_cast<int>(tailL.size()));
        std::copy(tailL.begin(), tailL.end(), freshL.begin() + runEnd);
        std::copy(tailR.begin(), tailR.end(), freshR.begin() + runEnd);
    }

    for (int j = 0; j < n; ++j) {
        const size_t i = static_cast<size_t>(j);
        ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i])) << j;
        if (j < nanAt) {
            EXPECT_EQ(l[i], refL[i]) << j;
        } else if (j < runEnd) {
            EXPECT_EQ(l[i], 0.0) << j;   // these were NaN: the state had blown up
        } else {
            EXPECT_EQ(l[i], freshL[i]) << j;   // cleared state, normal processing
        }
        if (j < runEnd) {
            EXPECT_EQ(r[i], refR[i]) << j;   // the right channel never went non-finite
        } else {
            EXPECT_EQ(r[i], freshR[i]) << j;   // but its state was cleared too
        }
    }
    EXPECT_GT(maxAbsDiff(r, refR, runEnd, n), 1e-6);   // the clearing is audible on the right

    // With nothing to run, only the offending samples themselves are zeroed.
    IirEngine idle;
    idle.set(Curve{});
    std::vector<double> x = noise(40, 13);
    x[7] = std::numeric_limits<double>::infinity();
    x[20] = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> expected = x;
    expected[7] = expected[20] = 0.0;
    idle.process(x.data(), nullptr, 40);
    EXPECT_EQ(x, expected);
}

// After clear() the first set() gives the final curve at once: sample for sample
// the output equals a freshly designed reference cascade, and a steady sine comes
// out at the designed magnitude.
TEST(IirEngine, SnapAfterClearGivesTheFinalCurveAtOnce)
{
    const double fs = 44100;
    const Curve before = curveWith({{0, makeBand(fj::kHighPass, 200, 0, 1, 18, false)},
                                    {2, makeBand(fj::kBell, 300, 9.0, 0.75)},
                                    {5, makeBand(fj::kHighShelf, 9000, -6.0, 0.513)}});
    const Curve after = curveWith({{0, makeBand(fj::kHighPass, 80, 0, 1, 18)},
                                   {1, makeBand(fj::kLowPass, 12000, 0, 1, 12)},
                                   {2, makeBand(fj::kLowShelf, 100, 4.0, 0.528)},
                                   {4, makeBand(fj::kBell, 2500, -6.0, 0.7)},
                                   {5, makeBand(fj::kHighShelf, 10000, 3.0, 0.513)},
                                   {9, makeBand(fj::kNotch, 6000, 0, 4)}});
    IirEngine e;
    e.prepare(fs);
    e.set(before);
    std::vector<double> l = noise(3000, 21), r = noise(3000, 22);
    processChunked(e, l, &r, 256);
    e.set(after);   // starts glides and a fade...
    l = noise(100, 23);
    r = noise(100, 24);
    processChunked(e, l, &r, 100);
    ASSERT_GT(e.fadeOf(0), 0.0);

    e.clear();   // ...which a reset cuts short
    e.phase = 0;
    e.set(after);
    EXPECT_EQ(e.fadeOf(0), 0.0);
    EXPECT_EQ(e.gainDbOf(4), -6.0);
    EXPECT_NEAR(e.freqOf(4), 2500.0, 1e-9);

    RefCurve ref(after, fs);
    const int n = 8820;
    l = noise(n, 25);
    r = sine(n, 1000.0, fs);
    std::vector<double> refL = l, refR = r;
    processChunked(e, l, &r, 333);
    ref.process(refL, refR);
    EXPECT_LT(maxAbsDiff(l, refL), 1e-12);
    EXPECT_LT(maxAbsDiff(r, refR), 1e-12);

    double designedDb = 0.0;
    for (const Band& b : after.bands)
        if (b.on)
            designedDb += toDb(cascadeMag2(fj::design(b, fs), 2.0 * kPi * 1000.0 / fs));
    const double measuredDb = 20.0 * std::log10(amplitudeAt(r, 4410, n, 1000.0, fs) / 0.5);
    EXPECT_NEAR(measuredDb, designedDb, 0.01);
    EXPECT_GT(std::fabs(designedDb), 0.05);   // the curve does something at 1 kHz
}

// Channel modes, alone and in runs: each step's expected output is computed
// from reference filters applied to L, R, M = (L + R) / 2 or S = (L - R) / 2.
TEST(IirEngine, ChannelModesAffectOnlyTheirChannels)
{
    const double fs = 48000;
    struct Step { int slot; Band band; };
    struct ModeCase { const char* name; std::vector<Step> steps; bool stereo; };
    auto bellOn = [](int mode, double f, double g) { return makeBand(fj::kBell, f, g, 1.0, 24, true, mode); };
    const ModeCase cases[] = {
        {"both", {{0, bellOn(fj::kBothChannels, 2000, 12)}}, true},
        {"mid", {{0, bellOn(fj::kMidOnly, 2000, 12)}}, true},
        {"side", {{0, bellOn(fj::kSideOnly, 2000, 12)}}, true},
        {"left", {{0, bellOn(fj::kLeftOnly, 2000, 12)}}, true},
        {"right", {{0, bellOn(fj::kRightOnly, 2000, 12)}}, true},
        {"mid then side (one conversion)", {{0, bellOn(fj::kMidOnly, 2000, 12)}, {1, bellOn(fj::kSideOnly, 500, -9)}}, true},
        {"side, off slot, mid", {{3, bellOn(fj::kSideOnly, 700, 8)}, {9, bellOn(fj::kMidOnly, 5000, -4)}}, true},
        {"mid, both, side", {{0, bellOn(fj::kMidOnly, 2000, 12)}, {1, bellOn(fj::kBothChannels, 300, 6)},
                             {2, bellOn(fj::kSideOnly, 8000, -10)}}, true},
        {"left, right, mid", {{0, bellOn(fj::kLeftOnly, 900, 7)}, {1, bellOn(fj::kRightOnly, 3000, -7)},
                              {2, bellOn(fj::kMidOnly, 150, 5)}}, true},
        {"mono both", {{0, bellOn(fj::kBothChannels, 2000, 12)}}, false},
        {"mono mid", {{0, bellOn(fj::kMidOnly, 2000, 12)}}, false},
        {"mono left", {{0, bellOn(fj::kLeftOnly, 2000, 12)}}, false},
        {"mono side (nothing)", {{0, bellOn(fj::kSideOnly, 2000, 12)}}, false},
        {"mono right (nothing)", {{0, bellOn(fj::kRightOnly, 2000, 12)}}, false},
    };
    for (const ModeCase& c : cases) {
        Curve curve;
        for (const Step& s : c.steps)
            curve.bands[static_cast<size_t>(s.slot)] = s.band;
        IirEngine e;
        e.prepare(fs);
        e.set(curve);

        const int n = 4000;
        std::vector<double> l = noise(n, 31), r = noise(n, 32);
        std::vector<double> el = l, er = c.stereo ? r : l;   // a single channel counts as L == R
        for (const Step& s : c.steps) {
            RefFilter f0, f1;
            f0.sections = f1.sections = fj::design(s.band, fs);
            for (int j = 0; j < n; ++j) {
                double& L = el[static_cast<size_t>(j)];
                double& R = er[static_cast<size_t>(j)];
                switch (s.band.channels) {
                case fj::kBothChannels: L = f0.tick(L); R = f1.tick(R); break;
                case fj::kLeftOnly: L = f0.tick(L); break;
                case fj::kRightOnly: R = f1.tick(R); break;
                case fj::kMidOnly: {
                    const double m = f0.tick(0.5 * (L + R)), sd = 0.5 * (L - R);
                    L = m + sd; R = m - sd;
                    break;
                }
                case fj::kSideOnly: {
                    const double m = 0.5 * (L + R), sd = f1.tick(0.5 * (L - R));
                    L = m + sd; R = m - sd;
                    break;
                }
                }
            }
        }
        processChunked(e, l, c.stereo ? &r : nullptr, 100);
        EXPECT_LT(maxAbsDiff(l, el), 1e-12) << c.name << " left";
        if (c.stereo) {
            EXPECT_LT(maxAbsDiff(r, er), 1e-12) << c.name << " right";
        }
        // Every case but the two mono no-ops must actually change the signal.
        const bool noOp = !c.stereo && (c.steps[0].band.channels == fj::kSideOnly
                                        || c.steps[0].band.channels == fj::kRightOnly);
        const double change = std::max(maxAbsDiff(el, noise(n, 31)), c.stereo ? maxAbsDiff(er, noise(n, 32)) : 0.0);
        if (noOp) {
            EXPECT_EQ(change, 0.0) << c.name;
        } else {
            EXPECT_GT(change, 1e-3) << c.name;
        }
    }

    // A mid-only band leaves pure side content untouched and vice versa.
    for (int mode : {fj::kMidOnly, fj::kSideOnly}) {
        IirEngine e;
        e.prepare(fs);
        e.set(curveWith({{0, bellOn(mode, 1000, 12)}}));
        std::vector<double> l = sine(2000, 1000, fs), r = l;
        if (mode == fj::kMidOnly)
            for (double& v : r) v = -v;   // pure side
        const std::vector<double> l0 = l, r0 = r;
        e.process(l.data(), r.data(), 2000);
        EXPECT_LT(maxAbsDiff(l, l0), 1e-15) << mode;
        EXPECT_LT(maxAbsDiff(r, r0), 1e-15) << mode;
    }
}

// Moving a band from side to mid is a structural change: it cross-fades, also
// when it directly follows another mid/side band.
TEST(IirEngine, ChannelModeChangeCrossFadesInsideAMidSideRun)
{
    const double fs = 48000;
    const int fadeLength = 480;
    const Band steady = makeBand(fj::kBell, 800, 10, 1, 24, true, fj::kMidOnly);
    Band moving = makeBand(fj::kBell, 3000, -12, 2, 24, true, fj::kSideOnly);
    IirEngine e;
    e.prepare(fs);
    e.set(curveWith({{0, steady}, {1, moving}}));

    RefFilter first, oldSide, newMid;
    first.sections = fj::design(steady, fs);
    oldSide.sections = newMid.sections = fj::design(moving, fs);

    const int n = 2000, switchAt = 301;
    std::vector<double> l = noise(n, 51), r = noise(n, 52);
    std::vector<double> el = l, er = r;
    e.process(l.data(), r.data(), switchAt);
    moving.channels = fj::kMidOnly;
    e.set(curveWith({{0, steady}, {1, moving}}));
    EXPECT_EQ(e.fadeOf(1), 1.0);
    e.process(l.data() + switchAt, r.data() + switchAt, n - switchAt);

    for (int j = 0; j < n; ++j) {
        double& L = el[static_cast<size_t>(j)];
        double& R = er[static_cast<size_t>(j)];
        double m = first.tick(0.5 * (L + R));
        double sd = 0.5 * (L - R);
        const double sideFiltered = oldSide.tick(sd);
        if (j < switchAt) {
            sd = sideFiltered;
        } else {
            const double fade = std::max(0.0, 1.0 - static_cast<double>(j - switchAt) / fadeLength);
            const double mNew = newMid.tick(m);
            // old: (m, filtered side); new: (filtered mid, side)
            const double oldL = m + sideFiltered, oldR = m - sideFiltered;
            const double newL = mNew + sd, newR = mNew - sd;
            L = newL + fade * (oldL - newL);
            R = newR + fade * (oldR - newR);
            continue;
        }
        L = m + sd;
        R = m - sd;
    }
    EXPECT_LT(maxAbsDiff(l, el), 1e-12);
    EXPECT_LT(maxAbsDiff(r, er), 1e-12);
    EXPECT_EQ(e.fadeOf(1), 0.0);
}

// set() and process() allocate nothing, through glides, fades, mode runs and a blow-up.
TEST(IirEngine, SetAndProcessDoNotAllocate)
{
    const double fs = 48000;
    IirEngine* e = new IirEngine;
    std::vector<double> l = noise(4096, 41), r = noise(4096, 42);
    Curve a = curveWith({{0, makeBand(fj::kHighPass, 30, 0, 1, 18)},
                         {2, makeBand(fj::kBell, 400, 6, 0.7, 24, true, fj::kMidOnly)},
                         {3, makeBand(fj::kTilt, 1000, 3, 1, 24, true, fj::kSideOnly)}});
    Curve b = a;
    b.bands[0].on = false;
    b.bands[2].gainDb = -8;
    b.bands[3].type = fj::kLowShelf;
    b.bands[5] = makeBand(fj::kLowPass, 9000, 0, 1, 42);

    allocations = 0;
    countAllocations = true;
    e->prepare(fs);
    e->set(a);
    e->process(l.data(), r.data(), 1000);
    e->set(b);
    e->process(l.data(), r.data(), 1000);
    l[2500] = std::numeric_limits<double>::quiet_NaN();
    e->set(a);
    e->process(l.data() + 2000, nullptr, 2096);
    e->clear();
    e->set(b);
    e->run(l.data(), r.data(), 16);
    countAllocations = false;
    delete e;
    EXPECT_EQ(allocations.load(), 0);

    // The counter itself works.
    countAllocations = true;
    std::string* s = new std::string("a string long enough to need heap storage");
    countAllocations = false;
    delete s;
    EXPECT_GT(allocations.load(), 0);
}
