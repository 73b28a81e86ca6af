#include "media/media_device_monitor.h"

#include <QMetaObject>
#include <mutex>

// How the providers' threads reach the monitor's owner while it exists; a burst of changes
// waiting to be served is posted once.
struct MediaDeviceMonitor::Link {
    std::mutex mutex;
    QObject* relay = nullptr;
    std::function<void()> changed;
    bool posted = false;

    // Any thread.
    void Post(const std::shared_ptr<Link>& self) {
        std::lock_guard<std::mutex> guard(mutex);
        if (!relay || posted)
            return;
        posted = true;
        // A queued call to relay is dropped with it.
        QMetaObject::invokeMethod(
            relay,
            [self] {
                std::function<void()> call;
                {
                    std::lock_guard<std::mutex> guard(self->mutex);
                    self->posted = false;
                    call = self->changed;
                }
                if (call)
                    call();
            },
            Qt::QueuedConnection);
    }
    void Cut() {
        std::lock_guard<std::mutex> guard(mutex);
        relay = nullptr;
        changed = nullptr;
    }
};

// Runs on the thread of the provider that posts (a udev watch, the simulated cameras' file watch).
GstBusSyncReply MediaDeviceMonitor::OnMessage(GstBus*, GstMessage* message, gpointer data) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_DEVICE_ADDED:
        case GST_MESSAGE_DEVICE_REMOVED:
        case GST_MESSAGE_DEVICE_CHANGED: {
            auto& link = *static_cast<std::shared_ptr<Link>*>(data);
            link->Post(link);
            break;
        }
        default:
            break;
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

MediaDeviceMonitor::MediaDeviceMonitor(const char* deviceClass, std::function<void()> changed)
    : relay_(std::make_unique<QObject>()), link_(std::make_shared<Link>()) {
    link_->relay = relay_.get();
    link_->changed = std::move(changed);
    monitor_ = gst_device_monitor_new();
    if (!monitor_)
        return;
    gst_object_ref_sink(monitor_);
    gst_device_monitor_add_filter(monitor_, deviceClass, nullptr);
    GstBus* bus = gst_device_monitor_get_bus(monitor_);
    gst_bus_set_sync_handler(bus, OnMessage, new std::shared_ptr<Link>(link_), [](gpointer link) {
        delete static_cast<std::shared_ptr<Link>*>(link);
    });
    gst_object_unref(bus);
    watching_ = gst_device_monitor_start(monitor_);
}

MediaDeviceMonitor::~MediaDeviceMonitor() {
    link_->Cut();
    if (!monitor_)
        return;
    if (watching_)
        gst_device_monitor_stop(monitor_);
    GstBus* bus = gst_device_monitor_get_bus(monitor_);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(monitor_);
}

std::vector<MediaDevice> MediaDeviceMonitor::Devices() const {
    std::vector<MediaDevice> devices;
    if (!monitor_)
        return devices;
    GList* list = gst_device_monitor_get_devices(monitor_);
    for (GList* l = list; l; l = l->next)
        devices.emplace_back(GST_DEVICE(l->data));
    g_list_free_full(list, gst_object_unref);
    return devices;
}
