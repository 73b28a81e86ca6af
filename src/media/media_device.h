#pragma once
// A capture device as the platform's device monitor lists it (a GstDevice reference).

#include <gst/gst.h>

#include <QString>
#include <vector>

class MediaDevice {
public:
    MediaDevice() = default;
    explicit MediaDevice(GstDevice* device);  // takes a new reference
    MediaDevice(const MediaDevice& other);
    MediaDevice& operator=(const MediaDevice& other);
    ~MediaDevice();

    bool IsValid() const { return device_ != nullptr; }
    GstDevice* Device() const { return device_; }
    QString DisplayName() const;
    // The formats and sizes the device offers; caller unrefs. Null when unknown.
    GstCaps* Caps() const;
    // Device node of a V4L2 camera ("/dev/video0"); empty for others.
    QString DevicePath() const;
    // What stays the same for this camera from one plug-in to the next, whichever node it gets:
    // its serial where it has one, else the USB port it is plugged into (with its model), else
    // its bus as the driver names it, else its name.
    QString StableId() const;
    // "removable" for a camera on an outside port, "fixed" for a built-in one, empty when unknown.
    QString Removable() const;
    // A new source element for the device, floating; null on failure.
    GstElement* CreateElement(const char* name) const;

private:
    QString Property(const char* key) const;

    GstDevice* device_ = nullptr;
};

// Devices of one class ("Video/Source", "Audio/Source") in the monitor's order.
// False when the device monitor cannot be created.
bool EnumerateMediaDevices(const char* deviceClass, std::vector<MediaDevice>* devices);
