#pragma once
// What a caller asks of a picture decode beyond the picture itself: a reduced size when the
// picture is shown smaller than it is, a flag that stops the decode, and what the decode found
// out about the file on the way.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class CDibImage;

// Largest factor one reduced pixel may average over in each direction: 4096 x 4096 samples of
// 255 still add up within 32 bits.
inline constexpr uint32_t kMaxReduction = 4096;

struct DecodeOptions {
    // In: the picture may come out reduced by a whole factor as long as it keeps at least
    // needWidth columns and needHeight rows. 0 in either asks for the whole picture.
    uint32_t needWidth = 0;
    uint32_t needHeight = 0;
    // In: the largest factor it may be reduced by whatever the needs, for a view that zooms out
    // only so far and needs the pixels its farthest zoom shows.
    uint32_t maxFactor = kMaxReduction;
    // In: looked at between rows; once set, the decode stops and fails.
    const std::atomic<bool>* cancel = nullptr;
    // In: while a reduced picture is read, called now and then on the decoding thread with the
    // picture as far as it is read; the rows not read yet are white.
    std::function<void(const CDibImage& part)> partial;

    // Out: the picture's own size as the file declares it (0 when the header could not be
    // read), whether the result is smaller than that, and whether the decode was refused
    // because the whole picture would need more memory than a picture may have.
    uint32_t fullWidth = 0;
    uint32_t fullHeight = 0;
    bool reduced = false;
    bool tooLarge = false;

    bool Cancelled() const { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }
    // Whether the decode should stop trying other formats: it was cancelled, or the file was
    // recognised and refused as too large.
    bool Final() const { return tooLarge || Cancelled(); }
    // Records the declared size and checks that the whole picture, decoded with `bits` per
    // pixel and an alpha plane when `alpha`, stays within the picture limits. False, with the
    // reason in error, when it would not.
    bool Admit(uint32_t width, uint32_t height, uint32_t bits, bool alpha, std::string& error);
    // The whole factor this request allows for a width x height picture: ReductionFactor of its
    // needs, at most maxFactor.
    uint32_t Factor(uint32_t width, uint32_t height) const;
};

// The largest whole factor f <= kMaxReduction with width / f >= needWidth and height / f >=
// needHeight, so that a picture reduced by f keeps what is needed; 1 when there is none, or when
// either need is 0.
uint32_t ReductionFactor(uint32_t width, uint32_t height, uint32_t needWidth, uint32_t needHeight);
