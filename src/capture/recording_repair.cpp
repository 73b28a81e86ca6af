#include "capture/recording_repair.h"

#include <QFile>
#include <array>
#include <optional>
#include <vector>

namespace {

// Random access to a file of untrusted content: a read past the end fails instead of returning
// less.
class FileAccess {
public:
    explicit FileAccess(const QString& path) : file_(path) {
        if (file_.open(QIODevice::ReadWrite))
            size_ = file_.size();
    }
    qint64 Size() const { return size_; }
    bool Read(qint64 pos, void* out, qint64 n) {
        return pos >= 0 && n >= 0 && pos <= size_ - n && file_.seek(pos) &&
               file_.read(static_cast<char*>(out), n) == n;
    }
    std::optional<uint32_t> Le32(qint64 pos) {
        std::array<uint8_t, 4> b{};
        if (!Read(pos, b.data(), 4))
            return std::nullopt;
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    std::optional<uint64_t> Le64(qint64 pos) {
        const auto low = Le32(pos);
        const auto high = Le32(pos + 4);
        if (!low || !high)
            return std::nullopt;
        return uint64_t(*high) << 32 | *low;
    }
    bool PutLe32(qint64 pos, uint64_t value) { return Put(pos, value, 4); }
    bool PutLe64(qint64 pos, uint64_t value) { return Put(pos, value, 8); }
    bool PutLe16(qint64 pos, uint64_t value) { return Put(pos, value, 2); }
    bool Put8(qint64 pos, uint64_t value) { return Put(pos, value, 1); }
    bool Truncate(qint64 size) {
        if (size == size_)
            return true;
        size_ = size;
        return file_.resize(size);
    }
    bool Flush() { return file_.flush(); }

private:
    bool Put(qint64 pos, uint64_t value, int bytes) {
        std::array<char, 8> b{};
        for (int i = 0; i < bytes; ++i)
            b[size_t(i)] = char(value >> (8 * i));
        return pos >= 0 && pos <= size_ - bytes && file_.seek(pos) &&
               file_.write(b.data(), bytes) == bytes;
    }

    QFile file_;
    qint64 size_ = -1;
};

constexpr uint32_t Fourcc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

// ---- AVI

struct AviChunk {
    uint32_t id = 0;
    uint32_t size = 0;
    qint64 next = 0;  // where the chunk after it starts (sizes are padded to even)
};

std::optional<AviChunk> ReadChunk(FileAccess& file, qint64 pos) {
    const auto id = file.Le32(pos);
    const auto size = file.Le32(pos + 4);
    if (!id || !size)
        return std::nullopt;
    return AviChunk{*id, *size, pos + 8 + qint64(*size) + (*size & 1)};
}

bool IsChunkId(uint32_t id) {
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = (id >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

// A frame of the first stream: "00dc" (compressed) or "00db" (uncompressed).
bool IsVideoFrame(uint32_t id) {
    return id == Fourcc("00dc") || id == Fourcc("00db");
}

struct AviLayout {
    qint64 avihFrames = -1;  // file offsets of the counts to set
    qint64 strhLength = -1;
    qint64 dmlhFrames = -1;
    uint32_t scale = 0;
    uint32_t rate = 0;
    std::vector<qint64> riffs;                      // each RIFF chunk's offset
    std::vector<std::pair<qint64, qint64>> movies;  // each movi list's offset and end
    int64_t framesInFirst = 0;
    int64_t frames = 0;
    qint64 end = 0;  // end of the last whole chunk
};

// The header list: the main header, the first video stream's header and the OpenDML header.
void ReadHeaderList(FileAccess& file, qint64 from, qint64 to, AviLayout& layout, int depth) {
    for (qint64 pos = from; pos < to;) {
        const auto chunk = ReadChunk(file, pos);
        if (!chunk || chunk->next > to)
            return;
        const qint64 data = pos + 8;
        if (chunk->id == Fourcc("LIST") && depth < 2) {
            ReadHeaderList(file, data + 4, chunk->next, layout, depth + 1);
        } else if (chunk->id == Fourcc("avih") && chunk->size >= 20) {
            layout.avihFrames = data + 16;
        } else if (chunk->id == Fourcc("strh") && chunk->size >= 36 && layout.strhLength < 0 &&
                   file.Le32(data) == Fourcc("vids")) {
            layout.strhLength = data + 32;
            layout.scale = file.Le32(data + 20).value_or(0);
            layout.rate = file.Le32(data + 24).value_or(0);
        } else if (chunk->id == Fourcc("dmlh") && chunk->size >= 4) {
            layout.dmlhFrames = data;
        }
        pos = chunk->next;
    }
}

// Walks a movi list's chunks up to its stated end, or up to the end of the file when the muxer
// never stated it; stops at the first chunk that is cut off or not a chunk at all.
qint64 WalkMovie(FileAccess& file, qint64 list, uint32_t listSize, int64_t& frames) {
    qint64 to = file.Size();
    if (listSize > 4 && list + 8 + qint64(listSize) <= to)
        to = list + 8 + qint64(listSize);
    qint64 pos = list + 12;
    while (pos < to) {
        const auto chunk = ReadChunk(file, pos);
        if (!chunk || !IsChunkId(chunk->id) || chunk->next > to)
            break;
        frames += IsVideoFrame(chunk->id) ? 1 : 0;
        pos = chunk->next;
    }
    return std::min(pos, to);
}

std::optional<AviLayout> ReadAvi(FileAccess& file) {
    AviLayout layout;
    qint64 pos = 0;
    while (true) {
        const auto riff = ReadChunk(file, pos);
        const auto form = file.Le32(pos + 8);
        if (!riff || riff->id != Fourcc("RIFF") ||
            form != (layout.riffs.empty() ? Fourcc("AVI ") : Fourcc("AVIX")))
            break;
        layout.riffs.push_back(pos);
        qint64 at = pos + 12;
        bool cut = false;
        while (!cut) {
            const auto chunk = ReadChunk(file, at);
            if (!chunk || chunk->id == Fourcc("RIFF") || !IsChunkId(chunk->id))
                break;
            const auto type = file.Le32(at + 8);
            if (chunk->id == Fourcc("LIST") && type == Fourcc("movi")) {
                const qint64 end = WalkMovie(file, at, chunk->size, layout.frames);
                layout.movies.emplace_back(at, end);
                // A list that ends before its stated end was cut off: nothing whole follows.
                cut = end != chunk->next || end >= file.Size();
                at = end;
                continue;
            }
            if (chunk->next > file.Size())
                break;
            if (chunk->id == Fourcc("LIST") && type == Fourcc("hdrl"))
                ReadHeaderList(file, at + 12, chunk->next, layout, 0);
            at = chunk->next;
        }
        if (layout.riffs.size() == 1)
            layout.framesInFirst = layout.frames;
        layout.end = at;
        if (cut)
            break;
        pos = at;
    }
    if (layout.riffs.empty() || layout.movies.empty() || layout.avihFrames < 0 ||
        layout.strhLength < 0)
        return std::nullopt;
    return layout;
}

// ---- ASF

using Guid = std::array<uint8_t, 16>;

// GUIDs as stored in the file (the first three fields little-endian).
constexpr Guid kAsfHeader = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kAsfFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                     0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kAsfData = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// File Properties fields, from the object's start.
constexpr qint64 kFileSizeField = 40;
constexpr qint64 kPacketCountField = 56;
constexpr qint64 kPlayDurationField = 64;
constexpr qint64 kSendDurationField = 72;
constexpr qint64 kPrerollField = 80;
constexpr qint64 kFlagsField = 88;
constexpr qint64 kMinPacketField = 92;
constexpr qint64 kMaxPacketField = 96;
constexpr uint32_t kBroadcastFlag = 1;
constexpr qint64 kDataHeaderSize = 50;
constexpr qint64 kDataPacketsField = 40;

bool GuidAt(FileAccess& file, qint64 pos, const Guid& guid) {
    Guid read{};
    return file.Read(pos, read.data(), 16) && read == guid;
}

struct AsfLayout {
    qint64 properties = -1;  // the File Properties object
    qint64 data = -1;        // the Data object
    uint32_t packetSize = 0;
};

std::optional<AsfLayout> ReadAsf(FileAccess& file) {
    const auto headerSize = file.Le64(16);
    const auto objects = file.Le32(24);
    if (!GuidAt(file, 0, kAsfHeader) || !headerSize || !objects || *headerSize < 30 ||
        *headerSize > uint64_t(file.Size()))
        return std::nullopt;
    AsfLayout layout;
    qint64 pos = 30;
    for (uint32_t i = 0; i < *objects && pos + 24 <= qint64(*headerSize); ++i) {
        const auto size = file.Le64(pos + 16);
        if (!size || *size < 24 || *size > *headerSize - uint64_t(pos))
            return std::nullopt;
        if (GuidAt(file, pos, kAsfFileProperties) && *size >= 104)
            layout.properties = pos;
        pos += qint64(*size);
    }
    layout.data = qint64(*headerSize);
    if (layout.properties < 0 || !GuidAt(file, layout.data, kAsfData))
        return std::nullopt;
    const auto minPacket = file.Le32(layout.properties + kMinPacketField);
    const auto maxPacket = file.Le32(layout.properties + kMaxPacketField);
    if (!minPacket || minPacket != maxPacket || *minPacket < 64)
        return std::nullopt;  // only files of fixed-size packets, which the muxer writes
    layout.packetSize = *minPacket;
    return layout;
}

// A data packet's error correction and payload parsing information.
struct AsfPacket {
    qint64 lengthField = -1;  // where a stated packet length is, when the packet states one
    uint32_t lengthBytes = 0;
    uint32_t length = 0;
    uint32_t padding = 0;
    uint32_t sendTime = 0;  // milliseconds
    uint32_t duration = 0;
};

std::optional<AsfPacket> ReadPacket(FileAccess& file, qint64 pos) {
    std::array<uint8_t, 32> b{};
    if (!file.Read(pos, b.data(), qint64(b.size())))
        return std::nullopt;
    size_t at = 0;
    if (b[0] & 0x80)
        at += 1 + (b[0] & 0x0F);  // error correction data
    if (at + 2 > b.size())
        return std::nullopt;
    const uint8_t flags = b[at];
    at += 2;  // length type flags, property flags
    // The sizes of the four fields the flags describe: 0, 1, 2 or 4 bytes.
    auto field = [&](int type, uint32_t* value, qint64* where = nullptr) {
        const uint32_t bytes = type == 3 ? 4 : uint32_t(type);
        if (where != nullptr && bytes > 0)
            *where = pos + qint64(at);
        uint32_t v = 0;
        for (uint32_t i = 0; i < bytes && at + i < b.size(); ++i)
            v |= uint32_t(b[at + i]) << (8 * i);
        at += bytes;
        if (value != nullptr)
            *value = v;
        return bytes;
    };
    AsfPacket packet;
    packet.lengthBytes = field((flags >> 5) & 3, &packet.length, &packet.lengthField);
    field((flags >> 1) & 3, nullptr);  // sequence
    field((flags >> 3) & 3, &packet.padding);
    if (at + 6 > b.size())
        return std::nullopt;
    packet.sendTime = uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                      uint32_t(b[at + 3]) << 24;
    packet.duration = uint32_t(b[at + 4]) | uint32_t(b[at + 5]) << 8;
    return packet;
}

// The muxer states the used length of a packet that it filled only in part, with the rest as
// padding; the stated length is the packet's whole length to readers.
bool MendPacketLength(FileAccess& file, qint64 pos, uint32_t packetSize) {
    const auto packet = ReadPacket(file, pos);
    if (!packet || packet->lengthField < 0 || packet->length >= packetSize ||
        uint64_t(packet->length) + packet->padding != packetSize ||
        (packet->lengthBytes == 1 && packetSize > 0xFF) ||
        (packet->lengthBytes == 2 && packetSize > 0xFFFF))
        return true;
    return packet->lengthBytes == 1   ? file.Put8(packet->lengthField, packetSize)
           : packet->lengthBytes == 2 ? file.PutLe16(packet->lengthField, packetSize)
                                      : file.PutLe32(packet->lengthField, packetSize);
}

}  // namespace

RecordingContent RepairAvi(const QString& path) {
    FileAccess file(path);
    const auto layout = file.Size() > 0 ? ReadAvi(file) : std::nullopt;
    RecordingContent content;
    if (!layout || !file.Truncate(layout->end))
        return content;
    bool ok = true;
    for (size_t i = 0; i < layout->riffs.size(); ++i) {
        const qint64 end = i + 1 < layout->riffs.size() ? layout->riffs[i + 1] : layout->end;
        ok = ok && file.PutLe32(layout->riffs[i] + 4, uint64_t(end - layout->riffs[i] - 8));
    }
    for (const auto& [list, end] : layout->movies)
        ok = ok && file.PutLe32(list + 4, uint64_t(end - list - 8));
    // With OpenDML, the main header counts the frames of the first RIFF only.
    ok = ok && file.PutLe32(layout->avihFrames, uint64_t(layout->framesInFirst)) &&
         file.PutLe32(layout->strhLength, uint64_t(layout->frames)) &&
         (layout->dmlhFrames < 0 || file.PutLe32(layout->dmlhFrames, uint64_t(layout->frames))) &&
         file.Flush();
    content.frames = layout->frames;
    content.playable = ok && layout->frames > 0;
    if (layout->rate > 0)
        content.seconds = double(layout->frames) * layout->scale / layout->rate;
    return content;
}

RecordingContent RepairAsf(const QString& path) {
    FileAccess file(path);
    const auto layout = file.Size() > 0 ? ReadAsf(file) : std::nullopt;
    RecordingContent content;
    if (!layout)
        return content;
    const qint64 first = layout->data + kDataHeaderSize;
    const qint64 size = layout->packetSize;
    const auto flags = file.Le32(layout->properties + kFlagsField);
    const auto stated = file.Le64(layout->data + kDataPacketsField);
    const auto preroll = file.Le64(layout->properties + kPrerollField);
    if (!flags || !stated || !preroll || first > file.Size())
        return content;
    const qint64 whole = (file.Size() - first) / size;
    // The muxer states the packet count when it finishes; until then the file is a broadcast.
    const bool finished = !(*flags & kBroadcastFlag) && *stated > 0 && *stated <= uint64_t(whole);
    const qint64 packets = finished ? qint64(*stated) : whole;
    bool ok =
        packets > 0 && MendPacketLength(file, first + (packets - 1) * size, layout->packetSize);
    if (ok && !finished) {
        const auto head = ReadPacket(file, first);
        const auto tail = ReadPacket(file, first + (packets - 1) * size);
        const uint64_t span = head && tail && tail->sendTime >= head->sendTime
                                  ? uint64_t(tail->sendTime - head->sendTime) + tail->duration
                                  : 0;
        const qint64 end = first + packets * size;
        ok = file.Truncate(end) && file.PutLe64(layout->data + 16, uint64_t(end - layout->data)) &&
             file.PutLe64(layout->data + kDataPacketsField, uint64_t(packets)) &&
             file.PutLe64(layout->properties + kFileSizeField, uint64_t(end)) &&
             file.PutLe64(layout->properties + kPacketCountField, uint64_t(packets)) &&
             file.PutLe64(layout->properties + kPlayDurationField, (span + *preroll) * 10000) &&
             file.PutLe64(layout->properties + kSendDurationField, span * 10000) &&
             file.PutLe32(layout->properties + kFlagsField, *flags & ~kBroadcastFlag);
    }
    ok = ok && file.Flush();
    const auto play = file.Le64(layout->properties + kPlayDurationField);
    content.frames = packets;
    content.playable = ok;
    if (play && *play / 10000 > *preroll)
        content.seconds = double(*play / 10000 - *preroll) / 1000.0;
    return content;
}
