#include "media/stream_decoder.h"

namespace {

bool IsRaw(const GstStructure* s) {
    return gst_structure_has_name(s, "video/x-raw");
}

bool IsPicture(const GstStructure* s) {
    return gst_structure_has_name(s, "image/jpeg");
}

// Whether the factory's source pads can give system-memory video (the converter after it reads
// plain memory only; decoders that give only device memory are passed over).
bool GivesPlainVideo(GstElementFactory* factory) {
    GstCaps* plain = gst_caps_from_string("video/x-raw");
    bool gives = false;
    for (const GList* t = gst_element_factory_get_static_pad_templates(factory); t && !gives;
         t = t->next) {
        auto* templ = static_cast<GstStaticPadTemplate*>(t->data);
        if (templ->direction != GST_PAD_SRC)
            continue;
        GstCaps* caps = gst_static_pad_template_get_caps(templ);
        gives = gst_caps_can_intersect(caps, plain);
        gst_caps_unref(caps);
    }
    gst_caps_unref(plain);
    return gives;
}

// A new element of the best-ranked factory of this kind that takes caps; null for none.
GstElement* MakeBest(GstElementFactoryListType kind, const GstCaps* caps, bool needPlainVideo) {
    GList* all = gst_element_factory_list_get_elements(kind, GST_RANK_MARGINAL);
    GList* taking = gst_element_factory_list_filter(all, caps, GST_PAD_SINK, FALSE);
    taking = g_list_sort(taking, gst_plugin_feature_rank_compare_func);
    GstElement* element = nullptr;
    for (GList* f = taking; f && !element; f = f->next) {
        auto* factory = GST_ELEMENT_FACTORY(f->data);
        if (needPlainVideo && !GivesPlainVideo(factory))
            continue;
        if (GstElement* e = gst_element_factory_create(factory, nullptr))
            element = GST_ELEMENT(gst_object_ref_sink(e));
    }
    gst_plugin_feature_list_free(taking);
    gst_plugin_feature_list_free(all);
    return element;
}

}  // namespace

bool FramesDecodeAlone(const GstCaps* caps) {
    if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps))
        return true;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    return IsRaw(s) || IsPicture(s);
}

bool MakeDecodeChain(const GstCaps* caps, std::vector<GstElement*>* chain) {
    if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps))
        return true;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    if (IsRaw(s))
        return true;
    GstElement* decoder = MakeBest(GST_ELEMENT_FACTORY_TYPE_DECODER, caps, true);
    if (!decoder)
        return false;
    if (!IsPicture(s)) {
        if (GstElement* parser = MakeBest(GST_ELEMENT_FACTORY_TYPE_PARSER, caps, false))
            chain->push_back(parser);
    }
    chain->push_back(decoder);
    return true;
}
