#include "Strip.h"

#include "EqCurve.h"
#include "Ramps.h"

#include <algorithm>
#include <cmath>

namespace vaz {
namespace {

constexpr double kSleepOutputFloor = 1e-7;   // output must have decayed below this to sleep

double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
double onOff(bool on) { return on ? 1.0 : 0.0; }

} // namespace

Strip::Strip()
{
    prepare(sampleRate, maxBlock);
}

void Strip::prepare(double newSampleRate, int newMaxBlock)
{
    sampleRate = newSampleRate;
    maxBlock = std::max(1, newMaxBlock);

    eqEngine.prepare(sampleRate);
    eqCurve = buildEqCurve(currentEq, sampleRate);

    limiter.prepare(sampleRate);
    dryDelay.prepare(delayLineLength(sampleRate));
    for (auto* buffer : { &sidechainL, &sidechainR, &dryL, &dryR })
        buffer->assign(static_cast<size_t>(maxBlock), 0.0);

    rampStep = 1.0 / (0.005 * sampleRate);
    smoothCoef = 1.0 - std::exp(-1.0 / (0.02 * sampleRate));
    asleep = false;
}

void Strip::set(const StripSettings& s)
{
    current = s;
    currentEq = s.eq;

    eqCurve = buildEqCurve(s.eq, sampleRate);
    eqEngine.set(eqCurve);
    if (! initialised)
    {
        eqEngine.clear();
        eqEngine.phase = 0;
        eqEngine.set(eqCurve);
    }

    inGainTarget = dbToGain(s.inputDb);
    outGainTarget = dbToGain(s.outputDb);

    if (! initialised)
    {
        snapRampsToTargets();
        initialised = true;
    }
}

void Strip::snapRampsToTargets()
{
    inGain = inGainTarget;
    outGain = outGainTarget;
    polaritySign = current.polarity ? -1.0 : 1.0;
    monoBlend = onOff(current.mono);
    gateBlend = onOff(current.gateOn);
    compBlend = onOff(current.compOn);
    bypassBlend = onOff(current.bypass);
    deltaBlend = onOff(current.delta);
    consoleBlend = onOff(current.console);
    driveSmoothedDb = current.driveDb;
    orderFade = 1.0;
    dynFirst = current.dynBeforeEq;
    eqInSidechain = current.scInt;
}

void Strip::reset()
{
    set(current);

    eqEngine.clear();
    eqEngine.phase = 0;
    eqEngine.set(buildEqCurve(currentEq, sampleRate));

    limiter.reset();
    dryDelay.clear();
    silentRun = 0;
    asleep = false;
    initialised = false;

    set(current);
    initialised = false;
}

void Strip::dynamics(double*, double*, int, bool)
{
    // Gate, transient shaper and compressor pass the signal through until they
    // are built; nothing reduces the gain yet.
    feed.publishGains(0.0, 0.0);
}

void Strip::process(double* left, double* right, int n)
{
    bool silent = true;
    for (int i = 0; i < n && silent; ++i)
        silent = left[i] == 0.0 && right[i] == 0.0;

    if (silent)
    {
        if (asleep)
        {
            feed.tick();
            return;
        }
        silentRun += n;
    }
    else if (asleep)
    {
        // Wake with everything cleared and snapped (reset() has done both), but
        // initialised, so the next block's set() glides instead of clearing the
        // filters again in the middle of the signal.
        reset();
        initialised = true;
    }
    else
        silentRun = 0;

    // A stage-order change whose fade has reached silence takes effect here, at
    // a sub-block start, so the new arrangement is heard from the rising fade on.
    if (orderFade == 0.0)
    {
        dynFirst = current.dynBeforeEq;
        eqInSidechain = current.scInt;
    }

    double inPeaks[2] = { 0, 0 };
    double outPeaks[2] = { 0, 0 };
    inputStage(left, right, n, inPeaks);
    eqAndDynamics(left, right, n);
    outputStage(left, right, n, outPeaks);

    feed.publishPeaks(inPeaks, outPeaks);
    feed.tick();

    if (silentRun >= std::llround(sampleRate) && std::max(outPeaks[0], outPeaks[1]) < kSleepOutputFloor)
    {
        asleep = true;
        std::fill(left, left + n, 0.0);
        std::fill(right, right + n, 0.0);
    }
}

void Strip::inputStage(double* left, double* right, int n, double peaks[2])
{
    const double polarityTarget = current.polarity ? -1.0 : 1.0;
    const double monoTarget = onOff(current.mono);

    for (int i = 0; i < n; ++i)
    {
        dryL[i] = left[i];
        dryR[i] = right[i];
        peaks[0] = std::max(peaks[0], std::abs(left[i]));
        peaks[1] = std::max(peaks[1], std::abs(right[i]));

        smoothToward(inGain, inGainTarget, smoothCoef);
        rampToward(polaritySign, polarityTarget, 2.0 * rampStep);
        rampToward(monoBlend, monoTarget, rampStep);

        const double gain = inGain * polaritySign;
        const double gL = gain * left[i];
        const double gR = gain * right[i];
        left[i] = gL;
        right[i] = monoBlend == 1.0 ? gL : gR + monoBlend * (gL - gR);
    }
}

void Strip::eqAndDynamics(double* left, double* right, int n)
{
    if (eqInSidechain)
    {
        std::copy(left, left + n, sidechainL.begin());
        std::copy(right, right + n, sidechainR.begin());
        eqEngine.process(sidechainL.data(), sidechainR.data(), n);
        dynamics(left, right, n, true);
    }
    else if (dynFirst)
    {
        dynamics(left, right, n, false);
        eqEngine.process(left, right, n);
    }
    else
    {
        eqEngine.process(left, right, n);
        dynamics(left, right, n, false);
    }
}

void Strip::outputStage(double* left, double* right, int n, double peaks[2])
{
    const double bypassTarget = onOff(current.bypass);
    const double deltaTarget = onOff(current.delta);
    // The order fade falls while the wanted arrangement differs from the one in
    // force, and holds at silence until the next sub-block commits it.
    const bool arranged = current.dynBeforeEq == dynFirst && current.scInt == eqInSidechain;
    const double orderTarget = arranged ? 1.0 : 0.0;

    for (int i = 0; i < n; ++i)
    {
        smoothToward(outGain, outGainTarget, smoothCoef);
        rampToward(orderFade, orderTarget, rampStep);

        // Console saturation and level match are not in yet: the fader and the
        // order fade are the whole gain here.
        const double gain = outGain * orderFade;
        double xL = left[i] * gain;
        double xR = right[i] * gain;

        limiter.process(xL, xR);

        double aL, aR;
        dryDelay.push(dryL[i], dryR[i], aL, aR);

        rampToward(deltaBlend, deltaTarget, rampStep);
        rampToward(bypassBlend, bypassTarget, rampStep);
        const double zL = xL - deltaBlend * aL;
        const double zR = xR - deltaBlend * aR;
        if (bypassBlend == 1.0)
        {
            // Fully bypassed: the aligned input exactly, so a bypassed strip nulls.
            left[i] = aL;
            right[i] = aR;
        }
        else
        {
            left[i] = zL + bypassBlend * (aL - zL);
            right[i] = zR + bypassBlend * (aR - zR);
        }

        peaks[0] = std::max(peaks[0], std::abs(left[i]));
        peaks[1] = std::max(peaks[1], std::abs(right[i]));
    }
}

} // namespace vaz
