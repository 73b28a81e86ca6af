#pragma once
// CRowReducer: makes a reduced picture from source rows as a decoder produces them, top row
// first, without ever holding the whole picture: every block of fx x fy source pixels becomes
// one pixel with the blocks' average. Blocks at the right and bottom edges that are cut short
// average over the pixels they have.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class CDibImage;
struct DecodeOptions;

class CRowReducer {
public:
    // Sets `out` up as the reduced picture of a width x height source whose pixels have
    // `channels` 8-bit samples: 1 grey, 2 grey and alpha, 3 blue, green, red, 4 blue, green, red
    // and alpha. Grey becomes an 8-bit grey-ramp picture, colour a 24-bit one; alpha becomes
    // its alpha plane. `out` must outlive the rows. False, with the reason in error, when it
    // cannot be made.
    // With options that ask for parts (DecodeOptions::partial), `out` starts white and is handed
    // to them now and then as its rows are made.
    bool Start(uint32_t width, uint32_t height, uint32_t channels, uint32_t fx, uint32_t fy,
               uint32_t type, CDibImage& out, std::string& error,
               const DecodeOptions* options = nullptr);
    // The next source row: width x channels bytes.
    void AddRow(const uint8_t* row);
    // True once every source row was added.
    bool Done() const { return rowsAdded_ == height_; }

private:
    void Average();
    void StoreRow(const uint8_t* samples);

    CDibImage* out_ = nullptr;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t channels_ = 0;
    uint32_t fx_ = 1;
    uint32_t fy_ = 1;
    uint32_t rowsAdded_ = 0;
    uint32_t rowsInBlock_ = 0;
    uint32_t outRow_ = 0;  // the next reduced row, counted from the top
    std::vector<uint32_t> sums_;
    std::vector<uint8_t> averages_;
    const DecodeOptions* partsTo_ = nullptr;
    std::chrono::steady_clock::time_point lastPart_;
};
