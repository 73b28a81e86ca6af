#pragma once
// The cameras as they come and go: a started device monitor for one device class. Whenever a
// device is added or removed, `changed` runs on the thread that made the monitor (it needs a Qt
// event loop there), once for a burst of changes; Devices() then lists what is there now. The
// monitor's bus is read by a handler on the posting thread, not by a watch on a main loop, and
// the handler is taken off before the monitor goes. Make and destroy on one thread.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "media/media_device.h"

class MediaDeviceMonitor {
public:
    MediaDeviceMonitor(const char* deviceClass, std::function<void()> changed);
    ~MediaDeviceMonitor();
    MediaDeviceMonitor(const MediaDeviceMonitor&) = delete;
    MediaDeviceMonitor& operator=(const MediaDeviceMonitor&) = delete;

    // False when the monitor could not start (no provider can watch): Devices() still lists
    // what the providers find when asked.
    bool IsWatching() const { return watching_; }
    std::vector<MediaDevice> Devices() const;

private:
    struct Link;
    static GstBusSyncReply OnMessage(GstBus* bus, GstMessage* message, gpointer link);

    GstDeviceMonitor* monitor_ = nullptr;
    bool watching_ = false;
    std::unique_ptr<QObject> relay_;
    std::shared_ptr<Link> link_;
};
