#pragma once

#include <atomic>

// Meter values the audio thread publishes for the editor: seven atomic words.
// The writer only ever stores a more extreme value; the reader takes the values
// with exchange-with-zero whenever the serial number has moved.

namespace vaz {

struct AnalysisFeed
{
    std::atomic<float> inPeak[2] { 0.0f, 0.0f };   // largest |raw input|, linear
    std::atomic<float> outPeak[2] { 0.0f, 0.0f };  // largest |final output|, linear
    std::atomic<float> gateGainDb { 0.0f };        // most negative gate gain, dB
    std::atomic<float> compGainDb { 0.0f };        // most negative compressor gain, dB
    std::atomic<int> serial { 0 };                 // one step per sub-block

    static void keepLarger(std::atomic<float>& slot, double value)
    {
        const auto v = static_cast<float>(value);
        if (v > slot.load())
            slot.exchange(v);
    }

    static void keepSmaller(std::atomic<float>& slot, double value)
    {
        const auto v = static_cast<float>(value);
        if (v < slot.load())
            slot.exchange(v);
    }

    void publishPeaks(const double in[2], const double out[2])
    {
        keepLarger(inPeak[0], in[0]);
        keepLarger(inPeak[1], in[1]);
        keepLarger(outPeak[0], out[0]);
        keepLarger(outPeak[1], out[1]);
    }

    void publishGains(double gateDb, double compDb)
    {
        keepSmaller(gateGainDb, gateDb);
        keepSmaller(compGainDb, compDb);
    }

    void tick() { serial.fetch_add(1); }
};

} // namespace vaz
