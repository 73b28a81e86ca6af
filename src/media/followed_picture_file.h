#pragma once
// The picture file a simulated camera lays on its desk, followed for as long as a camera uses it:
// when the file is replaced (renamed over or rewritten), the new picture is decoded on a watch
// thread and the cameras show it from their next frame. A file that does not decode, or that is
// missing, leaves the last picture in place. Whether the file exists is followed too, so that a
// camera can be unplugged by removing its file.
//
// The file is looked at every kPollMs. A picture is decoded once the file has stayed the same for
// one look, so that a file caught halfway through being written is not shown; a changed file
// shows within two looks and its decoding.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// 24-bit BGR rows, top first.
struct SimulatedPicture {
    std::vector<uint8_t> pixels;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes per row
};

// Decodes a picture file (any format Qt reads); null when it cannot be read.
std::shared_ptr<const SimulatedPicture> LoadSimulatedPicture(const std::string& path);

class FollowedPictureFile {
public:
    static constexpr int kPollMs = 20;

    // The followed file at path, shared by every camera that lays it; the first call decodes it
    // at once, on the calling thread. Null for an empty path.
    static std::shared_ptr<FollowedPictureFile> Follow(const std::string& path);

    explicit FollowedPictureFile(std::string path);
    FollowedPictureFile(const FollowedPictureFile&) = delete;
    FollowedPictureFile& operator=(const FollowedPictureFile&) = delete;

    const std::string& Path() const { return path_; }
    // Any thread. The newest picture the file decoded to; null while none has.
    std::shared_ptr<const SimulatedPicture> Picture() const;
    // Grows by one with each newly decoded picture.
    uint64_t Version() const { return version_.load(); }
    bool Exists() const { return exists_.load(); }

    // Runs on the watch thread after a look in which a followed file appeared or went.
    static void SetPresenceHook(std::function<void()> hook);

    // Watch thread: looks at the file once and decodes it when it has changed and settled; true
    // when the file appeared or went.
    bool Look();

    // What identifies one version of the file on disk.
    struct Stamp {
        bool exists = false;
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modifiedNs = 0, changedNs = 0;
        bool operator==(const Stamp&) const = default;
    };

private:
    const std::string path_;
    mutable std::mutex lock_;
    std::shared_ptr<const SimulatedPicture> picture_;
    std::atomic<uint64_t> version_{0};
    std::atomic<bool> exists_{false};
    // Watch thread only (and the constructor).
    Stamp seen_;       // at the last look
    Stamp attempted_;  // of the last version decoded, or tried
};
