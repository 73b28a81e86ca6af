#pragma once
// Mending recording files that their muxer did not finish, so that what was recorded before a
// failure (a full disk, a write error, an end of stream that never reached the file) still
// plays: the muxers write counts, sizes and indexes only at the end of the stream, and without
// them readers show nothing or guess the length.
//
// The files are read as untrusted input: every size is checked against the file, and a file
// that is not of the expected kind is left alone.

#include <QString>
#include <cstdint>

// What a recording file holds after mending.
struct RecordingContent {
    bool playable = false;  // at least one whole frame, in a file readers accept
    int64_t frames = 0;     // whole frames (AVI) or data packets (ASF) in the file
    double seconds = 0;     // how long it plays
};

// An AVI (RIFF, with OpenDML extensions) cut off anywhere: the frame written only in part is cut
// away, and the RIFF and movi sizes and the frame counts of the main and stream headers are set
// from the frames on disk.
RecordingContent RepairAvi(const QString& path);

// An ASF (WMV) file. An unfinished file is cut to its whole data packets and given the sizes,
// packet count and durations its header lacks. In every file, the last data packet, which the
// muxer writes with the length of its used part where readers expect its whole length (they
// throw it away, with the last frame in it), gets its whole length.
RecordingContent RepairAsf(const QString& path);
