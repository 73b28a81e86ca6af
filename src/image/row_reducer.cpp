#include "image/row_reducer.h"

#include <algorithm>
#include <cstring>

#include "image/decode_options.h"
#include "image/dib_image.h"

namespace {

// How often the picture as far as it is read is handed out: a big picture fills in on the screen.
constexpr std::chrono::milliseconds kPartPeriod(250);

template <uint32_t N>
void Accumulate(const uint8_t* row, uint32_t* sums, uint32_t width, uint32_t fx) {
    for (uint32_t x = 0; x < width; sums += N) {
        const uint32_t end = std::min(width, x + fx);
        for (; x < end; ++x, row += N) {
            for (uint32_t c = 0; c < N; ++c) {
                sums[c] += row[c];
            }
        }
    }
}

}  // namespace

bool CRowReducer::Start(uint32_t width, uint32_t height, uint32_t channels, uint32_t fx,
                        uint32_t fy, uint32_t type, CDibImage& out, std::string& error,
                        const DecodeOptions* options) {
    if (width == 0 || height == 0 || channels < 1 || channels > 4 || fx < 1 || fy < 1) {
        error = "reduction: bad source";
        return false;
    }
    const uint32_t outWidth = (width - 1) / fx + 1;
    const uint32_t outHeight = (height - 1) / fy + 1;
    const bool grey = channels <= 2;
    if (!out.Create(outWidth, outHeight, grey ? 8 : 24, type)) {
        error = out.GetLastError();
        return false;
    }
    if (grey) {
        out.SetGreyRamp();
    }
    if ((channels == 2 || channels == 4) && !out.AlphaCreate()) {
        error = "reduction: can't allocate memory";
        return false;
    }
    partsTo_ = options != nullptr && options->partial ? options : nullptr;
    if (partsTo_ != nullptr) {
        std::memset(out.GetRow(0), 0xFF, size_t(out.GetEffWidth()) * outHeight);
        lastPart_ = std::chrono::steady_clock::now();
    }
    out_ = &out;
    width_ = width;
    height_ = height;
    channels_ = channels;
    fx_ = fx;
    fy_ = fy;
    rowsAdded_ = rowsInBlock_ = outRow_ = 0;
    sums_.assign(size_t(outWidth) * channels, 0);
    return true;
}

void CRowReducer::AddRow(const uint8_t* row) {
    if (Done()) {
        return;
    }
    ++rowsAdded_;
    if (fx_ == 1 && fy_ == 1) {  // nothing to average: the row is the reduced row
        StoreRow(row);
        return;
    }
    switch (channels_) {
        case 1:
            Accumulate<1>(row, sums_.data(), width_, fx_);
            break;
        case 2:
            Accumulate<2>(row, sums_.data(), width_, fx_);
            break;
        case 3:
            Accumulate<3>(row, sums_.data(), width_, fx_);
            break;
        default:
            Accumulate<4>(row, sums_.data(), width_, fx_);
            break;
    }
    if (++rowsInBlock_ == fy_ || Done()) {
        Average();
    }
}

// The block row's averages; every block has fx_ columns but the last.
void CRowReducer::Average() {
    const uint32_t outWidth = out_->GetWidth();
    averages_.resize(sums_.size());
    const double inner = 1.0 / (double(fx_) * rowsInBlock_);
    const double last = 1.0 / (double(width_ - (outWidth - 1) * fx_) * rowsInBlock_);
    const size_t lastStart = size_t(outWidth - 1) * channels_;
    for (size_t i = 0; i < sums_.size(); ++i) {
        averages_[i] = uint8_t(double(sums_[i]) * (i < lastStart ? inner : last) + 0.5);
    }
    std::fill(sums_.begin(), sums_.end(), 0u);
    rowsInBlock_ = 0;
    StoreRow(averages_.data());
}

// Writes the next reduced row, top first, from `channels_` samples a pixel.
void CRowReducer::StoreRow(const uint8_t* samples) {
    const uint32_t outWidth = out_->GetWidth();
    const uint32_t y = out_->GetHeight() - 1 - outRow_;  // the block's rows are bottom-up
    uint8_t* dst = out_->GetRow(y);
    const uint32_t colour = channels_ <= 2 ? 1 : 3;
    if (out_->HasAlpha()) {
        uint8_t* alpha = out_->GetAlpha() + size_t(y) * outWidth;
        for (uint32_t x = 0; x < outWidth; ++x, samples += channels_) {
            std::memcpy(dst + size_t(colour) * x, samples, colour);
            alpha[x] = samples[colour];
        }
    } else {
        std::memcpy(dst, samples, size_t(colour) * outWidth);
    }
    std::memset(dst + size_t(colour) * outWidth, 0, out_->GetEffWidth() - colour * outWidth);
    ++outRow_;
    if (partsTo_ != nullptr && !Done() &&
        std::chrono::steady_clock::now() - lastPart_ >= kPartPeriod) {
        partsTo_->partial(*out_);
        lastPart_ = std::chrono::steady_clock::now();
    }
}
