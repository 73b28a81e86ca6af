#include "image/row_reducer.h"

#include <algorithm>
#include <cstring>

#include "image/dib_image.h"

namespace {

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
                        uint32_t fy, uint32_t type, CDibImage& out, std::string& error) {
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
    ++rowsAdded_;
    if (++rowsInBlock_ == fy_ || Done()) {
        Flush();
    }
}

void CRowReducer::Flush() {
    const uint32_t outWidth = out_->GetWidth();
    const uint32_t y = out_->GetHeight() - 1 - outRow_;  // the block's rows are bottom-up
    uint8_t* dst = out_->GetRow(y);
    uint8_t* alpha = out_->HasAlpha() ? out_->GetAlpha() + size_t(y) * outWidth : nullptr;
    const uint32_t colour = channels_ <= 2 ? 1 : 3;
    for (uint32_t x = 0; x < outWidth; ++x) {
        const uint32_t columns = std::min(fx_, width_ - x * fx_);
        const uint32_t count = columns * rowsInBlock_;
        const uint32_t* s = &sums_[size_t(x) * channels_];
        for (uint32_t c = 0; c < colour; ++c) {
            dst[colour * x + c] = uint8_t((s[c] + count / 2) / count);
        }
        if (alpha) {
            alpha[x] = uint8_t((s[colour] + count / 2) / count);
        }
    }
    std::memset(dst + size_t(colour) * outWidth, 0, out_->GetEffWidth() - colour * outWidth);
    std::fill(sums_.begin(), sums_.end(), 0u);
    rowsInBlock_ = 0;
    ++outRow_;
}
