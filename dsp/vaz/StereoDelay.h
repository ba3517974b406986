#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vaz {

// Two delay lines of one fixed length sharing a write index. Each push returns
// the samples written length - 1 pushes earlier.
class StereoDelay
{
public:
    void prepare(int length)
    {
        left.assign(static_cast<size_t>(length), 0.0);
        right.assign(static_cast<size_t>(length), 0.0);
        pos = 0;
    }

    void clear()
    {
        std::fill(left.begin(), left.end(), 0.0);
        std::fill(right.begin(), right.end(), 0.0);
        pos = 0;
    }

    void push(double inL, double inR, double& outL, double& outR)
    {
        left[pos] = inL;
        right[pos] = inR;
        if (++pos == left.size())
            pos = 0;
        outL = left[pos];
        outR = right[pos];
    }

private:
    std::vector<double> left, right;
    size_t pos = 0;
};

} // namespace vaz
