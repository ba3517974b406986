#pragma once

// Runs a curve of up to 24 bands on one or two channels of doubles.
//
// Every band's frequency and Q glide in the log domain and its gain in dB, each
// with a 20 ms one-pole smoother sampled every 16 samples; the band's sections
// are redesigned at those control points while a value is still moving.
// Structural changes (on/off, type, slope, channel mode) cross-fade linearly
// over 10 ms from the previous filter to the new one.
//
// Fixed-size storage only: no allocation, no locks, no exceptions. Every member
// function may be called on the audio thread.

#include "fj/Band.h"

namespace fj {

class IirEngine {
public:
    IirEngine();

    // Sets the sample rate and the derived smoothing and fade constants, then
    // clears like clear() and restarts the control period.
    void prepare(double sampleRate);

    // Takes new targets and structures for all bands (once per host block).
    void set(const Curve& curve);

    // Smooths and runs the curve on n samples in place; right may be nullptr.
    void process(double* left, double* right, int n);

    // Runs the active slots on n samples without touching the smoothing.
    void run(double* left, double* right, int n);

    // Zeroes every filter state (current and previous) and sets snap.
    void clear();

    // The next set() jumps every band to its targets (no glide, no fade).
    bool snap = true;
    // Position 0..15 inside the current 16-sample control period.
    int phase = 0;

    // Observers for diagnostics and tests.
    int activeCount() const { return numActive; }
    bool isLive(int slot) const { return slots[slot].current.live; }
    bool isPreviousLive(int slot) const { return slots[slot].previous.live; }
    double fadeOf(int slot) const { return slots[slot].fade; }
    double gainDbOf(int slot) const { return slots[slot].gainDb; }
    double freqOf(int slot) const;
    double qOf(int slot) const;
    int typeOf(int slot) const { return slots[slot].type; }
    const Sections& sectionsOf(int slot) const { return slots[slot].current.sections; }
    long long redesignCount() const { return designCalls; }

    static constexpr int kControlPeriod = 16;

private:
    struct Filter {
        bool live = false;
        int mode = kBothChannels;
        Sections sections;
        double state[kMaxSections][2][2] = {};   // [section][channel][s1, s2]
    };

    struct Slot {
        // Structure in force; gain types are stored as on with slope 0.
        int type = kBell;
        int slope = 0;
        int channels = kBothChannels;
        bool on = true;

        double targetLogFreq = 0.0, targetLogQ = 0.0, targetGainDb = 0.0;
        double logFreq = 0.0, logQ = 0.0, gainDb = 0.0;
        double designedLogFreq = 0.0, designedLogQ = 0.0, designedGainDb = 0.0;
        bool designed = false;

        // Last raw inputs, so that an unchanged band costs no logarithm.
        double lastFreqIn = -1.0, lastQIn = -1.0;
        double lastLogFreq = 0.0, lastLogQ = 0.0;

        Filter current;
        Filter previous;
        double fade = 0.0;   // 1 -> 0 while cross-fading previous -> current
    };

    void redesign(Slot& slot);
    void controlPoint();
    void rebuildActive();
    void runFading(Slot& slot, double* left, double* right, int n);
    void guardOutput(double* left, double* right, int n);
    void clearAllStates();

    double sampleRate = 48000.0;
    double smoothCoef = 0.0;
    double fadeStep = 0.0;

    Slot slots[kMaxBands];
    int active[kMaxBands] = {};
    int numActive = 0;
    long long designCalls = 0;
};

} // namespace fj
