#include "media/media_device.h"

#include "media/usb_camera_facts.h"

MediaDevice::MediaDevice(GstDevice* device)
    : device_(device ? GST_DEVICE(gst_object_ref(device)) : nullptr) {}

MediaDevice::MediaDevice(const MediaDevice& other) : MediaDevice(other.device_) {}

MediaDevice& MediaDevice::operator=(const MediaDevice& other) {
    if (this != &other) {
        GstDevice* old = device_;
        device_ = other.device_ ? GST_DEVICE(gst_object_ref(other.device_)) : nullptr;
        if (old)
            gst_object_unref(old);
    }
    return *this;
}

MediaDevice::~MediaDevice() {
    if (device_)
        gst_object_unref(device_);
}

QString MediaDevice::DisplayName() const {
    if (!device_)
        return {};
    gchar* name = gst_device_get_display_name(device_);
    QString result = QString::fromUtf8(name);
    g_free(name);
    return result;
}

GstCaps* MediaDevice::Caps() const {
    return device_ ? gst_device_get_caps(device_) : nullptr;
}

QString MediaDevice::DevicePath() const {
    if (!device_)
        return {};
    GstStructure* props = gst_device_get_properties(device_);
    QString path;
    if (props) {
        for (const char* key : {"api.v4l2.path", "device.path"}) {
            const gchar* value = gst_structure_get_string(props, key);
            if (value && g_str_has_prefix(value, "/dev/video")) {
                path = QString::fromUtf8(value);
                break;
            }
        }
        gst_structure_free(props);
    }
    return path;
}

QString MediaDevice::Property(const char* key) const {
    GstStructure* props = device_ ? gst_device_get_properties(device_) : nullptr;
    if (!props)
        return {};
    const QString value = QString::fromUtf8(gst_structure_get_string(props, key));
    gst_structure_free(props);
    return value;
}

QString MediaDevice::StableId() const {
    const QString serial = Property("device.serial");
    if (!serial.isEmpty())
        return u"serial:"_qs + serial;
    const UsbCameraFacts usb = ReadUsbCameraFacts(DevicePath());
    const QString model = usb.vendor + u':' + usb.product;
    if (!usb.serial.isEmpty())
        return u"usb:"_qs + model + u':' + usb.serial;
    if (!usb.port.isEmpty())
        return u"usb:"_qs + model + u'@' + usb.port;
    const QString bus = Property("api.v4l2.cap.bus_info");
    if (!bus.isEmpty())
        return u"bus:"_qs + bus;
    return u"name:"_qs + DisplayName();
}

QString MediaDevice::Removable() const {
    const QString given = Property("device.removable");
    return given.isEmpty() ? ReadUsbCameraFacts(DevicePath()).removable : given;
}

GstElement* MediaDevice::CreateElement(const char* name) const {
    return device_ ? gst_device_create_element(device_, name) : nullptr;
}

bool EnumerateMediaDevices(const char* deviceClass, std::vector<MediaDevice>* devices) {
    devices->clear();
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    if (!monitor)
        return false;
    gst_device_monitor_add_filter(monitor, deviceClass, nullptr);
    GList* list = gst_device_monitor_get_devices(monitor);
    for (GList* l = list; l; l = l->next) {
        devices->emplace_back(GST_DEVICE(l->data));
    }
    g_list_free_full(list, gst_object_unref);
    gst_object_unref(monitor);
    return true;
}
