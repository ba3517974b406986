#include "fj/IirEngine.h"

#include "fj/Design.h"

#include <cmath>

namespace fj {

namespace {

// Below this a cross-fade counts as finished; guards against the rounding left
// over after subtracting fadeStep 0.01 * fs times.
constexpr double kFadeEnd = 1e-9;

constexpr double kLogSnap = 1e-6;    // log frequency and log Q
constexpr double kGainSnapDb = 0.001;

double sanitizedFreq(double freq)
{
    if (!(freq >= 1.0))
        return 1.0;   // also catches NaN
    return freq > 1e9 ? 1e9 : freq;
}

double clampedQ(int type, double q)
{
    const double hi = (type == kLowShelf || type == kHighShelf) ? 2.0 : 40.0;
    if (!(q >= 0.1))
        return 0.1;
    return q > hi ? hi : q;
}

double glide(double value, double target, double coef, double snapWithin)
{
    const double next = target + (value - target) * coef;
    return std::fabs(next - target) < snapWithin ? target : next;
}

// One transposed direct form II section on one sample.
inline double tick(const Section& c, double* st, double x)
{
    const double y = c.b0 * x + st[0];
    st[0] = c.b1 * x - c.a1 * y + st[1];
    st[1] = c.b2 * x - c.a2 * y;
    return y;
}

} // namespace

// ---------------------------------------------------------------------------
// Filter kernels

namespace {

template <typename Filter>
double cascade(Filter& f, int ch, double x)
{
    for (int k = 0; k < f.sections.count; ++k)
        x = tick(f.sections.section[k], f.state[k][ch], x);
    return x;
}

template <typename Filter>
void runChannel(Filter& f, int ch, double* x, int n)
{
    for (int k = 0; k < f.sections.count; ++k) {
        const Section& c = f.sections.section[k];
        const double b0 = c.b0, b1 = c.b1, b2 = c.b2, a1 = c.a1, a2 = c.a2;
        double s1 = f.state[k][ch][0];
        double s2 = f.state[k][ch][1];
        for (int j = 0; j < n; ++j) {
            const double in = x[j];
            const double y = b0 * in + s1;
            s1 = b1 * in - a1 * y + s2;
            s2 = b2 * in - a2 * y;
            x[j] = y;
        }
        f.state[k][ch][0] = s1;
        f.state[k][ch][1] = s2;
    }
}

// Both channels through each section together: two independent recursions per
// iteration keep the pipeline busy.
template <typename Filter>
void runBoth(Filter& f, double* left, double* right, int n)
{
    for (int k = 0; k < f.sections.count; ++k) {
        const Section& c = f.sections.section[k];
        const double b0 = c.b0, b1 = c.b1, b2 = c.b2, a1 = c.a1, a2 = c.a2;
        double l1 = f.state[k][0][0], l2 = f.state[k][0][1];
        double r1 = f.state[k][1][0], r2 = f.state[k][1][1];
        for (int j = 0; j < n; ++j) {
            const double xl = left[j];
            const double xr = right[j];
            const double yl = b0 * xl + l1;
            const double yr = b0 * xr + r1;
            l1 = b1 * xl - a1 * yl + l2;
            r1 = b1 * xr - a1 * yr + r2;
            l2 = b2 * xl - a2 * yl;
            r2 = b2 * xr - a2 * yr;
            left[j] = yl;
            right[j] = yr;
        }
        f.state[k][0][0] = l1;
        f.state[k][0][1] = l2;
        f.state[k][1][0] = r1;
        f.state[k][1][1] = r2;
    }
}

// One sample of a filter in its channel mode, input and output as left/right.
// A single channel is treated as left == right: mid and left bands apply to it,
// side and right bands leave it alone.
template <typename Filter>
void applyOne(Filter& f, double& l, double& r, bool stereo)
{
    switch (f.mode) {
    case kMidOnly:
        if (!stereo) {
            l = cascade(f, 0, l);
        } else {
            const double side = 0.5 * (l - r);
            const double mid = cascade(f, 0, 0.5 * (l + r));
            l = mid + side;
            r = mid - side;
        }
        break;
    case kSideOnly:
        if (stereo) {
            const double mid = 0.5 * (l + r);
            const double side = cascade(f, 1, 0.5 * (l - r));
            l = mid + side;
            r = mid - side;
        }
        break;
    case kLeftOnly:
        l = cascade(f, 0, l);
        break;
    case kRightOnly:
        if (stereo)
            r = cascade(f, 1, r);
        break;
    default:
        l = cascade(f, 0, l);
        if (stereo)
            r = cascade(f, 1, r);
        break;
    }
}

void toMidSide(double* left, double* right, int n)
{
    for (int j = 0; j < n; ++j) {
        const double l = left[j];
        const double r = right[j];
        left[j] = 0.5 * (l + r);
        right[j] = 0.5 * (l - r);
    }
}

void fromMidSide(double* mid, double* side, int n)
{
    for (int j = 0; j < n; ++j) {
        const double m = mid[j];
        const double s = side[j];
        mid[j] = m + s;
        side[j] = m - s;
    }
}

template <typename Filter>
void zeroState(Filter& f)
{
    for (auto& section : f.state)
        for (auto& channel : section)
            channel[0] = channel[1] = 0.0;
}

} // namespace

// ---------------------------------------------------------------------------
// Engine

IirEngine::IirEngine() { prepare(48000.0); }

void IirEngine::prepare(double rate)
{
    sampleRate = rate;
    smoothCoef = std::exp(-static_cast<double>(kControlPeriod) / (0.02 * sampleRate));
    fadeStep = 1.0 / (0.01 * sampleRate);
    clear();
    phase = 0;
}

void IirEngine::clear()
{
    clearAllStates();
    snap = true;
}

void IirEngine::clearAllStates()
{
    for (Slot& s : slots) {
        zeroState(s.current);
        zeroState(s.previous);
    }
}

double IirEngine::freqOf(int slot) const { return std::exp(slots[slot].logFreq); }
double IirEngine::qOf(int slot) const { return std::exp(slots[slot].logQ); }

void IirEngine::redesign(Slot& s)
{
    Band band;
    band.on = true;
    band.type = s.type;
    band.freq = std::exp(s.logFreq);
    band.gainDb = s.gainDb;
    band.q = std::exp(s.logQ);
    band.slope = s.slope;
    band.channels = s.channels;
    s.current.sections = design(band, sampleRate);
    s.current.mode = s.channels;
    s.current.live = true;
    s.designed = true;
    s.designedLogFreq = s.logFreq;
    s.designedLogQ = s.logQ;
    s.designedGainDb = s.gainDb;
    ++designCalls;
}

void IirEngine::set(const Curve& curve)
{
    for (int i = 0; i < kMaxBands; ++i) {
        const Band& b = curve.bands[i];
        Slot& s = slots[i];

        const bool gainType = isGainType(b.type);
        double gain = gainType ? b.gainDb * curve.gainScale : 0.0;
        if (!std::isfinite(gain))
            gain = 0.0;

        // Logarithms only when the raw value changed.
        const double freq = sanitizedFreq(b.freq);
        if (freq != s.lastFreqIn) {
            s.lastFreqIn = freq;
            s.lastLogFreq = std::log(freq);
        }
        const double q = clampedQ(b.type, b.q);
        if (q != s.lastQIn) {
            s.lastQIn = q;
            s.lastLogQ = std::log(q);
        }
        const double logFreq = s.lastLogFreq;
        const double logQ = s.lastLogQ;

        // Gain types count as on with slope 0: their on/off is carried by the gain.
        const int slope = gainType ? 0 : b.slope;
        const bool on = gainType ? true : b.on;
        const double targetGain = (gainType && b.on) ? gain : 0.0;

        if (snap) {
            s.type = b.type;
            s.slope = slope;
            s.channels = b.channels;
            s.on = on;
            s.targetLogFreq = s.logFreq = logFreq;
            s.targetLogQ = s.logQ = logQ;
            s.targetGainDb = s.gainDb = targetGain;
            zeroState(s.current);
            zeroState(s.previous);
            s.previous.live = false;
            s.designed = false;
            s.fade = 0.0;
            continue;   // the next control point designs it
        }

        // A switched-off gain band glides to 0 dB and then drops out. (Only when the
        // slot holds a gain type: a pass filter in this slot must go through the
        // structural change below, or it would never switch off.)
        if (gainType && !b.on && isGainType(s.type) && (s.current.live || s.gainDb != 0.0)) {
            s.targetGainDb = 0.0;
            continue;
        }

        const bool structureChanged =
            s.type != b.type || s.slope != slope || s.channels != b.channels || s.on != on;

        // One structural change at a time: a later set() takes this up after the fade.
        if (structureChanged && s.fade > 0.0)
            continue;

        s.targetLogFreq = logFreq;
        s.targetLogQ = logQ;
        s.targetGainDb = targetGain;
        if (!structureChanged)
            continue;

        const bool wasLive = s.current.live;
        if (wasLive || s.fade > 0.0 || !gainType) {
            s.previous = s.current;
            s.fade = 1.0;
            s.gainDb = s.targetGainDb;
        }
        s.type = b.type;
        s.slope = slope;
        s.channels = b.channels;
        s.on = on;
        s.logFreq = s.targetLogFreq;
        s.logQ = s.targetLogQ;
        zeroState(s.current);
        s.designed = false;

        if (b.on && (!gainType || s.gainDb != 0.0)) {
            redesign(s);
        } else if (wasLive) {
            s.current.live = false;
            zeroState(s.current);
        }
    }
    snap = false;
    rebuildActive();
}

void IirEngine::controlPoint()
{
    for (Slot& s : slots) {
        s.logFreq = glide(s.logFreq, s.targetLogFreq, smoothCoef, kLogSnap);
        s.logQ = glide(s.logQ, s.targetLogQ, smoothCoef, kLogSnap);
        s.gainDb = glide(s.gainDb, s.targetGainDb, smoothCoef, kGainSnapDb);

        if (!s.on || (isGainType(s.type) && s.gainDb == 0.0)) {
            s.current.live = false;
            zeroState(s.current);
        } else if (!s.current.live || !s.designed || s.logFreq != s.designedLogFreq
                   || s.logQ != s.designedLogQ || s.gainDb != s.designedGainDb) {
            redesign(s);
        }
    }
    rebuildActive();
}

void IirEngine::rebuildActive()
{
    numActive = 0;
    for (int i = 0; i < kMaxBands; ++i)
        if (slots[i].current.live || slots[i].fade > 0.0)
            active[numActive++] = i;
}

void IirEngine::process(double* left, double* right, int n)
{
    int done = 0;
    while (done < n) {
        if (phase == 0)
            controlPoint();
        int step = kControlPeriod - phase;
        if (step > n - done)
            step = n - done;
        run(left + done, right != nullptr ? right + done : nullptr, step);
        done += step;
        phase = (phase + step) % kControlPeriod;
    }
}

void IirEngine::runFading(Slot& s, double* left, double* right, int n)
{
    const bool stereo = right != nullptr;
    for (int j = 0; j < n; ++j) {
        const double xl = left[j];
        const double xr = stereo ? right[j] : 0.0;
        double newL = xl, newR = xr;
        if (s.current.live)
            applyOne(s.current, newL, newR, stereo);
        if (s.fade > 0.0) {
            double oldL = xl, oldR = xr;
            if (s.previous.live)
                applyOne(s.previous, oldL, oldR, stereo);
            newL += s.fade * (oldL - newL);
            newR += s.fade * (oldR - newR);
            s.fade -= fadeStep;
            if (s.fade <= kFadeEnd) {
                s.fade = 0.0;
                s.previous.live = false;
            }
        }
        left[j] = newL;
        if (stereo)
            right[j] = newR;
    }
}

void IirEngine::run(double* left, double* right, int n)
{
    if (n <= 0)
        return;
    for (int a = 0; a < numActive; ++a) {
        Slot& s = slots[active[a]];
        if (s.fade > 0.0) {
            runFading(s, left, right, n);
            continue;
        }
        Filter& f = s.current;
        if (!f.live)
            continue;
        const int mode = f.mode;

        if (right == nullptr) {
            if (mode != kSideOnly && mode != kRightOnly)
                runChannel(f, 0, left, n);
            continue;
        }

        if (mode == kMidOnly || mode == kSideOnly) {
            // A run of consecutive mid/side slots shares one conversion each way.
            toMidSide(left, right, n);
            int b = a;
            for (; b < numActive; ++b) {
                Slot& t = slots[active[b]];
                if (t.fade > 0.0)
                    break;
                if (!t.current.live)
                    continue;
                if (t.current.mode == kMidOnly)
                    runChannel(t.current, 0, left, n);
                else if (t.current.mode == kSideOnly)
                    runChannel(t.current, 1, right, n);
                else
                    break;
            }
            fromMidSide(left, right, n);
            a = b - 1;
            continue;
        }

        if (mode == kLeftOnly)
            runChannel(f, 0, left, n);
        else if (mode == kRightOnly)
            runChannel(f, 1, right, n);
        else
            runBoth(f, left, right, n);
    }
    guardOutput(left, right, n);
}

void IirEngine::guardOutput(double* left, double* right, int n)
{
    bool blownUp = false;
    for (int j = 0; j < n; ++j) {
        if (!std::isfinite(left[j])) {
            left[j] = 0.0;
            blownUp = true;
        }
    }
    if (right != nullptr) {
        for (int j = 0; j < n; ++j) {
            if (!std::isfinite(right[j])) {
                right[j] = 0.0;
                blownUp = true;
            }
        }
    }
    if (blownUp)
        clearAllStates();
}

} // namespace fj
