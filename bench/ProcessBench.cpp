// processBlock at 48 kHz stereo. Reports the real-time factor (seconds of audio
// processed per second of CPU) and the share of one core the plug-in needs.
#include "VovuzaAudioProcessor.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <functional>
#include <random>

namespace {

constexpr double kRate = 48000;

void setPlain(VovuzaAudioProcessor& p, const char* id, float value)
{
    auto* r = p.parameters.getParameter(id);
    r->setValueNotifyingHost(r->convertTo0to1(value));
}

using Setup = std::function<void(VovuzaAudioProcessor&)>;
using PerBlock = std::function<void(VovuzaAudioProcessor&, long)>;

void runScenario(benchmark::State& state, bool silence, const Setup& setup = {}, const PerBlock& perBlock = {})
{
    juce::ScopedJuceInitialiser_GUI juce;
    const int block = static_cast<int>(state.range(0));
    VovuzaAudioProcessor p;
    if (setup)
        setup(p);
    p.prepareToPlay(kRate, block);

    juce::AudioBuffer<float> buffer(2, block);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    juce::MidiBuffer midi;

    // Two seconds first, so that silence has put the strip to sleep.
    long blocks = 0;
    for (int i = 0; i < static_cast<int>(2 * kRate) / block; ++i, ++blocks)
    {
        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < block; ++s)
                buffer.setSample(ch, s, silence ? 0.0f : dist(rng));
        p.processBlock(buffer, midi);
    }

    // The timed loop copies the input from a prepared second of noise: a copy
    // costs far less than the processing it feeds.
    std::vector<float> source(static_cast<size_t>(kRate) + static_cast<size_t>(block));
    for (auto& x : source)
        x = silence ? 0.0f : dist(rng);
    size_t offset = 0;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state)
    {
        for (int ch = 0; ch < 2; ++ch)
            buffer.copyFrom(ch, 0, source.data() + offset + static_cast<size_t>(ch), block);
        offset = (offset + static_cast<size_t>(block)) % static_cast<size_t>(kRate);
        if (perBlock)
            perBlock(p, blocks);
        ++blocks;
        p.processBlock(buffer, midi);
        benchmark::DoNotOptimize(buffer.getReadPointer(0));
    }

    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double audioSeconds = static_cast<double>(state.iterations()) * block / kRate;
    state.counters["realtime_x"] = audioSeconds / cpuSeconds;
    state.counters["core_pct"] = 100.0 * cpuSeconds / audioSeconds;
}

// Every filter and EQ band in use.
void engageAllBands(VovuzaAudioProcessor& p)
{
    setPlain(p, "hpf", 60);
    setPlain(p, "lpf", 9000);
    setPlain(p, "lf_gain", 4);
    setPlain(p, "lmf_gain", -3);
    setPlain(p, "hmf_gain", 5);
    setPlain(p, "hf_gain", 6);
}

// Moves a frequency and a gain of every band each block, so every band keeps
// gliding and being redesigned.
void moveAllBands(VovuzaAudioProcessor& p, long block)
{
    const float phase = static_cast<float>(block % 64) / 64.0f;
    const float wobble = phase < 0.5f ? phase : 1.0f - phase;
    for (const char* id : { "hpf", "lpf", "lf_freq", "lmf_freq", "hmf_freq", "hf_freq" })
        p.parameters.getParameter(id)->setValueNotifyingHost(0.3f + wobble);
    for (const char* id : { "lf_gain", "lmf_gain", "hmf_gain", "hf_gain" })
        p.parameters.getParameter(id)->setValueNotifyingHost(0.2f + wobble);
}

void BM_Default(benchmark::State& state) { runScenario(state, false); }
void BM_Silence(benchmark::State& state) { runScenario(state, true); }
void BM_EqStatic(benchmark::State& state) { runScenario(state, false, engageAllBands); }
void BM_EqGliding(benchmark::State& state) { runScenario(state, false, engageAllBands, moveAllBands); }

} // namespace

BENCHMARK(BM_Default)->Arg(32)->Arg(64)->Arg(512);
BENCHMARK(BM_Silence)->Arg(32)->Arg(64)->Arg(512);
BENCHMARK(BM_EqStatic)->Arg(32)->Arg(64)->Arg(512);
BENCHMARK(BM_EqGliding)->Arg(32)->Arg(64)->Arg(512);

BENCHMARK_MAIN();
