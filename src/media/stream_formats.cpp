#include "media/stream_formats.h"

#include <cstring>

namespace {

struct FormatName {
    const char* gstName;  // a raw format, or a media type
    const char* name;
};

// Raw video formats by their platform names.
constexpr FormatName kRawFormats[] = {
    {"YUY2", "YUY2"}, {"YVYU", "YVYU"},    {"UYVY", "UYVY"},    {"I420", "IYUV"}, {"YVU9", "YVU9"},
    {"IYU1", "Y411"}, {"RGB16", "RGB565"}, {"RGB15", "RGB555"}, {"BGR", "RGB24"}, {"BGRx", "RGB32"},
};

// Compressed formats by their media type, named by their four-character codes.
constexpr FormatName kCompressedFormats[] = {
    {"image/jpeg", "MJPG"},   {"video/x-dv", "DVSD"},  {"video/x-h264", "H264"},
    {"video/x-h265", "HEVC"}, {"video/x-vp8", "VP80"}, {"video/x-vp9", "VP90"},
};

int MinimumInt(const GstStructure* s, const char* field) {
    const GValue* v = gst_structure_get_value(s, field);
    if (!v)
        return 0;
    if (G_VALUE_HOLDS_INT(v))
        return g_value_get_int(v);
    if (GST_VALUE_HOLDS_INT_RANGE(v))
        return gst_value_get_int_range_min(v);
    if (GST_VALUE_HOLDS_LIST(v) && gst_value_list_get_size(v) > 0) {
        const GValue* first = gst_value_list_get_value(v, 0);
        return G_VALUE_HOLDS_INT(first) ? g_value_get_int(first) : 0;
    }
    return 0;
}

}  // namespace

std::string FormatNameOf(const GstStructure* s) {
    for (const FormatName& f : kCompressedFormats) {
        if (gst_structure_has_name(s, f.gstName))
            return f.name;
    }
    if (!gst_structure_has_name(s, "video/x-raw"))
        return {};
    const gchar* format = gst_structure_get_string(s, "format");
    if (!format)
        return {};
    for (const FormatName& f : kRawFormats) {
        if (std::strcmp(f.gstName, format) == 0)
            return f.name;
    }
    return {};
}

std::vector<StreamCapability> CapabilitiesOf(const GstCaps* caps) {
    std::vector<StreamCapability> result;
    if (!caps || gst_caps_is_any(caps))
        return result;
    const guint n = gst_caps_get_size(caps);
    for (guint i = 0; i < n; ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        StreamCapability c;
        c.formatName = FormatNameOf(s);
        c.width = MinimumInt(s, "width");
        c.height = MinimumInt(s, "height");
        gchar* text = gst_structure_to_string(s);
        c.caps = text;
        g_free(text);
        result.push_back(std::move(c));
    }
    return result;
}

GstCaps* CapsOfCapability(const StreamCapability& capability) {
    GstCaps* caps = gst_caps_from_string(capability.caps.c_str());
    if (!caps)
        return nullptr;
    if (gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        gst_caps_unref(caps);
        return nullptr;
    }
    caps = gst_caps_make_writable(caps);
    GstStructure* s = gst_caps_get_structure(caps, 0);
    if (capability.width > 0 && capability.height > 0)
        gst_structure_set(s, "width", G_TYPE_INT, capability.width, "height", G_TYPE_INT,
                          capability.height, nullptr);
    return caps;
}
