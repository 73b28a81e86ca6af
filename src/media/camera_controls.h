#pragma once
// A camera's own settings (brightness, contrast, exposure …) as a list of controls: from the
// V4L2 device node of a real camera, or from the controllable properties of a source element
// (the simulated camera). Values are read back from the device after every change.

#include <gst/gst.h>

#include <QString>
#include <memory>
#include <utility>
#include <vector>

struct CameraControl {
    enum class Kind { kInteger, kBoolean, kMenu };
    Kind kind = Kind::kInteger;
    quint32 id = 0;   // V4L2 control id, or the property's index
    QString key;      // property name for element controls
    QString label;    // the driver's (or element's) own name
    QString caption;  // what the user is shown: a common control's Chinese name, else label
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    std::vector<std::pair<int, QString>> menu;  // (value, text) for menus
};

class CameraControls {
public:
    virtual ~CameraControls() = default;
    virtual std::vector<CameraControl> List() = 0;
    virtual bool Get(const CameraControl& control, int* value) = 0;
    virtual bool Set(const CameraControl& control, int value) = 0;
};

// Controls of a V4L2 device node ("/dev/video0"); null when it cannot be opened.
std::unique_ptr<CameraControls> OpenV4l2Controls(const QString& devicePath);
// The controllable integer, boolean and enum properties of an element.
std::unique_ptr<CameraControls> ElementControls(GstElement* element);
// The camera's controls: its device node when it has one, else its element's properties.
std::unique_ptr<CameraControls> ControlsForCamera(GstElement* source, const QString& devicePath);
