#include "media/pipeline_state.h"

bool SetStateAndWait(GstElement* pipeline, GstState state, int timeoutMs) {
    if (!pipeline)
        return false;
    GstStateChangeReturn r = gst_element_set_state(pipeline, state);
    if (r == GST_STATE_CHANGE_FAILURE)
        return false;
    if (r == GST_STATE_CHANGE_SUCCESS ||
        (r == GST_STATE_CHANGE_NO_PREROLL && state == GST_STATE_PAUSED))
        return true;
    GstState current = GST_STATE_VOID_PENDING;
    r = gst_element_get_state(pipeline, &current, nullptr,
                              static_cast<GstClockTime>(timeoutMs) * GST_MSECOND);
    return r == GST_STATE_CHANGE_SUCCESS ||
           (r == GST_STATE_CHANGE_NO_PREROLL && current == state) ||
           (r == GST_STATE_CHANGE_NO_PREROLL && state == GST_STATE_PLAYING);
}
