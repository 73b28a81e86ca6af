#pragma once
// State changes of a pipeline, awaited with a bound so that the user-interface thread never
// hangs on a camera that stopped answering.

#include <gst/gst.h>

// Sets the state and waits up to timeoutMs for it to be reached. A live pipeline that answers
// "no preroll" on its way to PLAYING counts as reached. False on failure or time-out.
bool SetStateAndWait(GstElement* pipeline, GstState state, int timeoutMs = 3000);
