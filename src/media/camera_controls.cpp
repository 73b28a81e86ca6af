#include "media/camera_controls.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

struct Caption {
    quint32 v4l2Id;
    const char* property;  // the same control among an element's properties
    const char16_t* text;
};

// The controls most cameras have, under the names the rest of the program uses. Drivers name
// them in English, and differently from one kernel to the next; their ids stay.
constexpr Caption kCaptions[] = {
    {V4L2_CID_BRIGHTNESS, "brightness", u"亮度"},
    {V4L2_CID_CONTRAST, "contrast", u"对比度"},
    {V4L2_CID_SATURATION, "saturation", u"饱和度"},
    {V4L2_CID_HUE, "hue", u"色调"},
    {V4L2_CID_HUE_AUTO, "", u"自动色调"},
    {V4L2_CID_SHARPNESS, "sharpness", u"锐度"},
    {V4L2_CID_GAMMA, "gamma", u"伽马"},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "white-balance", u"白平衡"},
    {V4L2_CID_AUTO_WHITE_BALANCE, "", u"自动白平衡"},
    {V4L2_CID_EXPOSURE, "exposure", u"曝光"},
    {V4L2_CID_EXPOSURE_ABSOLUTE, "", u"曝光"},
    {V4L2_CID_EXPOSURE_AUTO, "", u"自动曝光"},
    {V4L2_CID_EXPOSURE_AUTO_PRIORITY, "", u"曝光优先"},
    {V4L2_CID_GAIN, "gain", u"增益"},
    {V4L2_CID_AUTOGAIN, "", u"自动增益"},
    {V4L2_CID_FOCUS_ABSOLUTE, "focus", u"对焦"},
    {V4L2_CID_FOCUS_AUTO, "", u"自动对焦"},
    {V4L2_CID_ZOOM_ABSOLUTE, "zoom", u"缩放"},
    {V4L2_CID_PAN_ABSOLUTE, "", u"水平转动"},
    {V4L2_CID_TILT_ABSOLUTE, "", u"垂直转动"},
    {V4L2_CID_BACKLIGHT_COMPENSATION, "", u"背光补偿"},
    {V4L2_CID_POWER_LINE_FREQUENCY, "", u"电源频率"},
};

QString CaptionFor(quint32 v4l2Id, const QString& property, const QString& label) {
    for (const Caption& c : kCaptions) {
        if (property.isEmpty() ? c.v4l2Id == v4l2Id : property == QLatin1String(c.property))
            return QString::fromUtf16(c.text);
    }
    return label;
}

int Xioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

class V4l2Controls : public CameraControls {
public:
    explicit V4l2Controls(int fd) : fd_(fd) {}
    ~V4l2Controls() override { close(fd_); }

    std::vector<CameraControl> List() override {
        std::vector<CameraControl> list;
        v4l2_queryctrl q;
        std::memset(&q, 0, sizeof q);
        q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
        while (Xioctl(fd_, VIDIOC_QUERYCTRL, &q) == 0) {
            AddControl(q, &list);
            q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
        }
        return list;
    }

    bool Get(const CameraControl& control, int* value) override {
        v4l2_control c{control.id, 0};
        if (Xioctl(fd_, VIDIOC_G_CTRL, &c) != 0)
            return false;
        *value = c.value;
        return true;
    }

    bool Set(const CameraControl& control, int value) override {
        v4l2_control c{control.id, value};
        return Xioctl(fd_, VIDIOC_S_CTRL, &c) == 0;
    }

private:
    void AddControl(const v4l2_queryctrl& q, std::vector<CameraControl>* list) {
        if (q.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY))
            return;
        CameraControl c;
        c.id = q.id;
        c.label = QString::fromUtf8(
            reinterpret_cast<const char*>(q.name),
            static_cast<int>(strnlen(reinterpret_cast<const char*>(q.name), sizeof q.name)));
        c.caption = CaptionFor(c.id, QString(), c.label);
        c.minimum = q.minimum;
        c.maximum = q.maximum;
        c.step = q.step > 0 ? q.step : 1;
        c.defaultValue = q.default_value;
        switch (q.type) {
            case V4L2_CTRL_TYPE_INTEGER:
                c.kind = CameraControl::Kind::kInteger;
                break;
            case V4L2_CTRL_TYPE_BOOLEAN:
                c.kind = CameraControl::Kind::kBoolean;
                break;
            case V4L2_CTRL_TYPE_MENU:
            case V4L2_CTRL_TYPE_INTEGER_MENU:
                c.kind = CameraControl::Kind::kMenu;
                ReadMenu(q, &c);
                if (c.menu.empty())
                    return;
                break;
            default:
                return;  // buttons, strings, classes: nothing to show as a value
        }
        list->push_back(std::move(c));
    }

    void ReadMenu(const v4l2_queryctrl& q, CameraControl* c) {
        // The range comes from the driver: a maximum of INT32_MAX must not overflow the
        // counter, and a wild range must not hold the dialog in billions of queries.
        constexpr int64_t kMaxMenuEntries = 1024;
        const int64_t last = std::min<int64_t>(q.maximum, int64_t(q.minimum) + kMaxMenuEntries - 1);
        for (int64_t i = q.minimum; i <= last; ++i) {
            v4l2_querymenu m;
            std::memset(&m, 0, sizeof m);
            m.id = q.id;
            m.index = static_cast<__u32>(i);
            if (Xioctl(fd_, VIDIOC_QUERYMENU, &m) != 0)
                continue;
            const QString text =
                q.type == V4L2_CTRL_TYPE_MENU
                    ? QString::fromUtf8(reinterpret_cast<const char*>(m.name),
                                        static_cast<int>(strnlen(
                                            reinterpret_cast<const char*>(m.name), sizeof m.name)))
                    : QString::number(m.value);
            c->menu.emplace_back(int(i), text);
        }
    }

    int fd_;
};

class PropertyControls : public CameraControls {
public:
    explicit PropertyControls(GstElement* element)
        : element_(GST_ELEMENT(gst_object_ref(element))) {}
    ~PropertyControls() override { gst_object_unref(element_); }

    std::vector<CameraControl> List() override {
        std::vector<CameraControl> list;
        guint n = 0;
        GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(element_), &n);
        for (guint i = 0; i < n; ++i) {
            GParamSpec* p = specs[i];
            if (!(p->flags & GST_PARAM_CONTROLLABLE) || !(p->flags & G_PARAM_WRITABLE))
                continue;
            CameraControl c;
            c.id = i;
            c.key = QString::fromUtf8(p->name);
            c.label = QString::fromUtf8(g_param_spec_get_nick(p));
            c.caption = CaptionFor(0, c.key, c.label);
            if (G_IS_PARAM_SPEC_INT(p)) {
                auto* ip = G_PARAM_SPEC_INT(p);
                c.kind = CameraControl::Kind::kInteger;
                c.minimum = ip->minimum;
                c.maximum = ip->maximum;
                c.defaultValue = ip->default_value;
            } else if (G_IS_PARAM_SPEC_BOOLEAN(p)) {
                c.kind = CameraControl::Kind::kBoolean;
                c.maximum = 1;
                c.defaultValue = G_PARAM_SPEC_BOOLEAN(p)->default_value;
            } else if (G_IS_PARAM_SPEC_ENUM(p)) {
                auto* ep = G_PARAM_SPEC_ENUM(p);
                c.kind = CameraControl::Kind::kMenu;
                c.defaultValue = ep->default_value;
                for (guint k = 0; k < ep->enum_class->n_values; ++k) {
                    const GEnumValue& v = ep->enum_class->values[k];
                    c.menu.emplace_back(v.value, QString::fromUtf8(v.value_nick));
                }
            } else {
                continue;
            }
            list.push_back(std::move(c));
        }
        g_free(specs);
        return list;
    }

    bool Get(const CameraControl& control, int* value) override {
        GParamSpec* p = ParamSpecOf(control);
        if (!p)
            return false;
        GValue v = G_VALUE_INIT;
        g_value_init(&v, p->value_type);
        g_object_get_property(G_OBJECT(element_), p->name, &v);
        if (G_VALUE_HOLDS_INT(&v))
            *value = g_value_get_int(&v);
        else if (G_VALUE_HOLDS_BOOLEAN(&v))
            *value = g_value_get_boolean(&v) ? 1 : 0;
        else if (G_VALUE_HOLDS_ENUM(&v))
            *value = g_value_get_enum(&v);
        g_value_unset(&v);
        return true;
    }

    bool Set(const CameraControl& control, int value) override {
        GParamSpec* p = ParamSpecOf(control);
        if (!p)
            return false;
        if (control.kind == CameraControl::Kind::kBoolean)
            g_object_set(element_, p->name, value ? TRUE : FALSE, nullptr);
        else
            g_object_set(element_, p->name, value, nullptr);
        return true;
    }

private:
    GParamSpec* ParamSpecOf(const CameraControl& control) {
        return g_object_class_find_property(G_OBJECT_GET_CLASS(element_),
                                            control.key.toUtf8().constData());
    }

    GstElement* element_;
};

}  // namespace

std::unique_ptr<CameraControls> OpenV4l2Controls(const QString& devicePath) {
    const int fd = open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::make_unique<V4l2Controls>(fd);
}

std::unique_ptr<CameraControls> ElementControls(GstElement* element) {
    return element ? std::make_unique<PropertyControls>(element) : nullptr;
}

std::unique_ptr<CameraControls> ControlsForCamera(GstElement* source, const QString& devicePath) {
    if (!devicePath.isEmpty()) {
        if (auto controls = OpenV4l2Controls(devicePath))
            return controls;
    }
    return ElementControls(source);
}
