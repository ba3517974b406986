#include "EqCurve.h"

#include <algorithm>
#include <cmath>

namespace vaz {
namespace {

enum BandType { kBell = 0, kLowShelf = 1, kHighShelf = 2, kHighPass = 4, kLowPass = 5 };

constexpr double kLfBellQ = 0.75, kLfShelfQ = 0.528;
constexpr double kHfBellQ = 0.82, kHfShelfQ = 0.513;
constexpr double kCompanionRatio = 0.386;   // companion bell sits below the HF corner
constexpr double kCompanionGain = -0.231;   // opposite sign, 23.1 % of the shelf gain
constexpr double kCompanionQ = 0.65;
constexpr double kNyquistLimit = 0.45;      // bands are kept below 0.45 · fs
constexpr double kFilterOffHz = 1000;       // frequency a switched-off pass filter is parked at

fj::Band band(bool on, int type, double freq, double gainDb, double q, int slope = 24)
{
    fj::Band b;
    b.on = on;
    b.type = type;
    b.freq = freq;
    b.gainDb = gainDb;
    b.q = q;
    b.slope = slope;
    b.channels = 0;
    return b;
}

} // namespace

double proportionalQ(double knobQ, double gainDb)
{
    return 0.2 * std::pow(knobQ, 0.86) * std::pow(10.0, 0.364 * std::abs(gainDb) / 40.0);
}

fj::Curve buildEqCurve(const EqSettings& eq, double sampleRate)
{
    const double nyq45 = kNyquistLimit * sampleRate;
    const double hf = std::min(nyq45, eq.hfHz);
    const double lmfHz = eq.lmfDiv3 ? eq.lmfHz / 3.0 : eq.lmfHz;
    const double hmfHz = std::min(nyq45, eq.hmfMul3 ? eq.hmfHz * 3.0 : eq.hmfHz);

    fj::Curve curve;
    curve.gainScale = 1.0;
    for (auto& b : curve.bands)
        b = band(false, kBell, 1000, 0, 1);

    auto& bands = curve.bands;
    bands[kHpfEntry] = band(eq.hpfHz > 0, kHighPass, eq.hpfHz > 0 ? eq.hpfHz : kFilterOffHz, 0, 1, kHpfSlope);
    bands[kLpfEntry] = band(eq.lpfHz > 0, kLowPass, eq.lpfHz > 0 ? eq.lpfHz : kFilterOffHz, 0, 1, kLpfSlope);
    bands[kLfEntry] = band(true, eq.lfBell ? kBell : kLowShelf, eq.lfHz, eq.lfGainDb,
                           eq.lfBell ? kLfBellQ : kLfShelfQ);
    bands[kLmfEntry] = band(true, kBell, lmfHz, eq.lmfGainDb, proportionalQ(eq.lmfQ, eq.lmfGainDb));
    bands[kHmfEntry] = band(true, kBell, hmfHz, eq.hmfGainDb, proportionalQ(eq.hmfQ, eq.hmfGainDb));
    bands[kHfEntry] = band(true, eq.hfBell ? kBell : kHighShelf, hf, eq.hfGainDb,
                           eq.hfBell ? kHfBellQ : kHfShelfQ);
    bands[kHfCompanionEntry] = band(true, kBell, kCompanionRatio * hf,
                                    eq.hfBell ? 0.0 : kCompanionGain * eq.hfGainDb, kCompanionQ);

    if (! eq.on)
        for (auto& b : bands)
            b.on = false;

    return curve;
}

} // namespace vaz
