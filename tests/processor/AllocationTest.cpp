// Counts heap allocations made on the calling thread while processBlock runs.
#include "VovuzaAudioProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

namespace {
thread_local bool counting = false;
std::atomic<long> allocations { 0 };

void* allocate(std::size_t size)
{
    if (counting)
        allocations.fetch_add(1);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(AudioThread, ProcessingAnyParameterStateAllocatesNothing)
{
    VovuzaAudioProcessor p;
    p.prepareToPlay(48000, 256);
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    juce::AudioBuffer<float> buffer(2, 256);
    juce::MidiBuffer midi;

    long total = 0;
    for (int state = 0; state < 300; ++state)
    {
        // Random positions, with extremes and the OFF zones well represented.
        for (auto* param : p.getParameters())
        {
            const float r = unit(rng);
            param->setValueNotifyingHost(r < 0.15f ? 0.0f : r > 0.85f ? 1.0f : unit(rng));
        }
        for (int block = 0; block < 3; ++block)
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 256; ++i)
                    buffer.setSample(ch, i, state % 7 == 0 ? 0.0f : unit(rng) * 2.0f - 1.0f);
            allocations = 0;
            counting = true;
            p.processBlock(buffer, midi);
            counting = false;
            total += allocations.load();
        }
    }
    EXPECT_EQ(total, 0);

    // The counter does count: a vector grown on this thread is seen.
    allocations = 0;
    counting = true;
    std::vector<int> probe(100);
    counting = false;
    EXPECT_GT(allocations.load(), 0);
}

} // namespace
