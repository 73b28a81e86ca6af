#pragma once
// Reads a recorded video file back with the real readers: ffprobe for its streams and
// duration, gst-discoverer-1.0 for whether GStreamer plays it, ffmpeg for the pixels of a frame.

#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>

struct VideoProbe {
    int videoStreams = 0;
    int audioStreams = 0;
    QString codec;
    int width = 0;
    int height = 0;
    double duration = 0;  // seconds, from the container
    int frames = 0;       // frames ffprobe counted by reading the whole file
};

inline QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline VideoProbe ProbeVideo(const QString& path) {
    VideoProbe probe;
    const QString out =
        RunTool(QStringLiteral("ffprobe"),
                {"-v", "error", "-count_frames", "-show_entries",
                 "stream=codec_type,codec_name,width,height,nb_read_frames:format=duration", "-of",
                 "default=noprint_wrappers=1", path});
    for (const QString& line : out.split(u'\n')) {
        const QString key = line.section(u'=', 0, 0);
        const QString value = line.section(u'=', 1);
        if (key == QLatin1String("codec_type")) {
            probe.videoStreams += value == QLatin1String("video");
            probe.audioStreams += value == QLatin1String("audio");
        } else if (key == QLatin1String("codec_name") && probe.codec.isEmpty()) {
            probe.codec = value;
        } else if (key == QLatin1String("width")) {
            probe.width = value.toInt();
        } else if (key == QLatin1String("height")) {
            probe.height = value.toInt();
        } else if (key == QLatin1String("nb_read_frames")) {
            probe.frames = value.toInt();
        } else if (key == QLatin1String("duration")) {
            probe.duration = value.toDouble();
        }
    }
    return probe;
}

// gst-discoverer-1.0's verdict: true when it found a video stream and no error.
inline bool DiscovererAccepts(const QString& path) {
    const QString out = RunTool(QStringLiteral("gst-discoverer-1.0"), {path});
    return out.contains(QLatin1String("video #")) &&
           !out.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

// The frame at the given second as RGB bytes, rows top first.
inline QByteArray DecodeFrame(const QString& path, double second) {
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-ss", QString::number(second), "-i", path, "-frames:v", "1", "-f",
                  "rawvideo", "-pix_fmt", "rgb24", "-"});
    decode.waitForFinished(60000);
    return decode.readAllStandardOutput();
}

// How many different pictures the file holds, at most: its video packets compared by checksum
// (a picture repeated is the same packet; decoding every frame of a large recording would take
// many times longer).
inline int DistinctFrames(const QString& path) {
    const QString out = RunTool(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-map", "0:v",
                                                           "-c", "copy", "-f", "framemd5", "-"});
    QSet<QString> sums;
    for (const QString& line : out.split(u'\n')) {
        if (!line.isEmpty() && !line.startsWith(u'#'))
            sums.insert(line.section(u',', -1).trimmed());
    }
    return int(sums.size());
}
