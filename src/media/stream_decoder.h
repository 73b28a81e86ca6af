#pragma once
// The elements that turn what a camera sends into raw video: for a compressed format, a parser
// when the format has one and then the best-ranked decoder that accepts it; nothing for raw
// video. A picture format whose frames decode each on its own (JPEG) needs no parser.

#include <gst/gst.h>

#include <vector>

// Fills `chain` with new elements (full references the caller owns), in the order to link them.
// False when caps are compressed and no installed decoder takes them; true with an empty chain
// for raw video and for caps that are not known yet (any or empty).
bool MakeDecodeChain(const GstCaps* caps, std::vector<GstElement*>* chain);

// Whether each frame of caps can be dropped before decoding without spoiling later ones: raw
// video and picture formats (JPEG); not the stream formats whose frames build on earlier ones.
bool FramesDecodeAlone(const GstCaps* caps);
