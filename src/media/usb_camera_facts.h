#pragma once
// What the kernel tells of the USB device behind a camera's V4L2 node, read from sysfs: its
// vendor, product and serial, the port it is plugged into, and whether that port is on the
// outside of the computer ("removable") or built in ("fixed"). Laptops' built-in webcams sit on
// internal USB ports that the firmware marks fixed.

#include <QString>

struct UsbCameraFacts {
    QString vendor, product, serial;  // empty when the device has none
    QString port;                     // the USB port path, as "1-2.3"
    QString removable;                // "removable", "fixed", or empty when unknown
};

// The facts of the camera whose node is devicePath ("/dev/video2"), under sysRoot ("/sys"). All
// empty for a node that is not a USB camera.
UsbCameraFacts ReadUsbCameraFacts(const QString& devicePath, const QString& sysRoot = "/sys");
