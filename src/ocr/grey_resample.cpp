#include "ocr/grey_resample.h"

#include <algorithm>
#include <cmath>

namespace {

// The old pixels one new pixel is made of, with their weights (summing to 1).
struct Taps {
    std::vector<int32_t> first;  // per new pixel: index of its first old pixel
    std::vector<int32_t> count;
    std::vector<float> weights;  // per new pixel: count weights, packed
    std::vector<int32_t> offset;
};

Taps MakeTaps(int32_t oldSize, int32_t newSize) {
    Taps taps;
    const double step = double(oldSize) / double(newSize);
    for (int32_t i = 0; i < newSize; ++i) {
        taps.offset.push_back(int32_t(taps.weights.size()));
        if (step > 1.0) {
            // Area average over [i * step, (i + 1) * step).
            const double from = i * step;
            const double to = std::min(double(oldSize), from + step);
            const int32_t first = int32_t(from);
            const int32_t last = std::min(oldSize - 1, int32_t(std::ceil(to)) - 1);
            taps.first.push_back(first);
            taps.count.push_back(last - first + 1);
            for (int32_t j = first; j <= last; ++j) {
                const double cover = std::min(to, double(j + 1)) - std::max(from, double(j));
                taps.weights.push_back(float(cover / (to - from)));
            }
        } else {
            const double at = std::clamp((i + 0.5) * step - 0.5, 0.0, double(oldSize - 1));
            const int32_t first = std::min(int32_t(at), std::max(0, oldSize - 2));
            const float f = float(at - first);
            taps.first.push_back(first);
            if (oldSize == 1) {
                taps.count.push_back(1);
                taps.weights.push_back(1.0f);
            } else {
                taps.count.push_back(2);
                taps.weights.push_back(1.0f - f);
                taps.weights.push_back(f);
            }
        }
    }
    return taps;
}

}  // namespace

std::vector<uint8_t> ResampleGrey(const uint8_t* grey, int32_t width, int32_t height,
                                  int32_t newWidth, int32_t newHeight) {
    if (grey == nullptr || width <= 0 || height <= 0 || newWidth <= 0 || newHeight <= 0)
        return {};
    const Taps across = MakeTaps(width, newWidth);
    const Taps down = MakeTaps(height, newHeight);

    std::vector<float> wide(size_t(newWidth) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = grey + size_t(y) * size_t(width);
        float* out = wide.data() + size_t(y) * size_t(newWidth);
        for (int32_t x = 0; x < newWidth; ++x) {
            const float* w = across.weights.data() + across.offset[size_t(x)];
            const uint8_t* p = row + across.first[size_t(x)];
            float sum = 0;
            for (int32_t k = 0; k < across.count[size_t(x)]; ++k)
                sum += w[k] * float(p[k]);
            out[x] = sum;
        }
    }

    std::vector<uint8_t> result(size_t(newWidth) * size_t(newHeight));
    std::vector<float> sum(static_cast<size_t>(newWidth));
    for (int32_t y = 0; y < newHeight; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        const float* w = down.weights.data() + down.offset[size_t(y)];
        for (int32_t k = 0; k < down.count[size_t(y)]; ++k) {
            const float* row = wide.data() + size_t(down.first[size_t(y)] + k) * size_t(newWidth);
            for (int32_t x = 0; x < newWidth; ++x)
                sum[size_t(x)] += w[k] * row[x];
        }
        uint8_t* out = result.data() + size_t(y) * size_t(newWidth);
        for (int32_t x = 0; x < newWidth; ++x)
            out[x] = uint8_t(std::clamp(int(sum[size_t(x)] + 0.5f), 0, 255));
    }
    return result;
}
