#pragma once
// A device's formats and sizes as read from its caps: one capability per caps structure, named
// by the four-character format names the capture engine's catalogue uses ("YUY2", "MJPG",
// "RGB24" …; compressed formats the catalogue does not list, such as "H264", are named too, for
// the format dialog). A capability's size is its minimum width × height (a range gives its lower
// end).

#include <gst/gst.h>

#include <string>
#include <vector>

struct StreamCapability {
    std::string formatName;  // empty when the format has no name in the table
    int width = 0;
    int height = 0;
    std::string caps;  // the structure as caps text, for setting the format
};

// The catalogue's name of a caps structure's format; empty when it has none.
std::string FormatNameOf(const GstStructure* structure);

// One capability per structure of caps, in order (unnamed formats included, name empty).
std::vector<StreamCapability> CapabilitiesOf(const GstCaps* caps);

// Caps that select exactly this capability's format and size (caller unrefs); null if invalid.
GstCaps* CapsOfCapability(const StreamCapability& capability);
