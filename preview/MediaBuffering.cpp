// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaBuffering.h"

#include <gst/gst.h>

#include <mutex>

namespace MediaBuffering {

namespace {

// Qt's pipeline puts a `queue` in front of the video sink whose default holds up to 10 MB: seven
// decoded 720p frames, and the decoder's pool grows to match, which doubled the memory of a
// playing preview. A preview needs no more than a frame or two in hand. Sound never comes near
// this many bytes, so its queue keeps its usual second of lead.
constexpr guint queuedBytes = 2u * 1024 * 1024;
// Decoded video passes two queues on its way to Qt's sink (one before the conversion, one in the
// sink's own bin), and every frame one holds is a frame more in the decoder's pool for the rest of
// the video. One frame each keeps their threads apart.
constexpr guint queuedVideoFrames = 1;

// Known only once the stream's format reaches the queue.
GstPadProbeReturn holdOneFrameOfVideo(GstPad *, GstPadProbeInfo *info, gpointer queue)
{
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps *caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure *format =
        caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
    if (format && gst_structure_has_name(format, "video/x-raw"))
        g_object_set(queue, "max-size-buffers", queuedVideoFrames, nullptr);
    return GST_PAD_PROBE_OK;
}

// libav's decoders decode a frame per thread and start one thread per core: each holds frames of
// its own in hand (7 MB more for a 720p preview on two cores, more on bigger machines). Threads
// that share one frame's slices hold nothing extra, and still help where a stream has slices.
void decodeWithoutFrameThreads(GstElement *decoder)
{
    GObjectClass *type = G_OBJECT_GET_CLASS(decoder);
    GParamSpec *threading = g_object_class_find_property(type, "thread-type");
    if (threading && G_IS_PARAM_SPEC_FLAGS(threading)) {
        GFlagsClass *kinds = G_PARAM_SPEC_FLAGS(threading)->flags_class;
        if (const GFlagsValue *slice = g_flags_get_value_by_nick(kinds, "slice")) {
            g_object_set(decoder, "thread-type", slice->value, nullptr);
            return;
        }
    }
    if (g_object_class_find_property(type, "max-threads"))
        g_object_set(decoder, "max-threads", 1, nullptr);
}

gboolean limitQueue(GSignalInvocationHint *, guint count, const GValue *values, gpointer)
{
    // "element-added" and "deep-element-added" both pass the new element last.
    auto *element = count > 0 ? GST_ELEMENT(g_value_get_object(&values[count - 1])) : nullptr;
    GstElementFactory *factory = element ? gst_element_get_factory(element) : nullptr;
    const gchar *name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "";
    if (g_str_equal(name, "queue")) {
        g_object_set(element, "max-size-bytes", queuedBytes, nullptr);
        // Added once, though both signals report the element.
        if (!g_object_get_data(G_OBJECT(element), "mirel-frames-limited")) {
            g_object_set_data(G_OBJECT(element), "mirel-frames-limited", element);
            if (GstPad *input = gst_element_get_static_pad(element, "sink")) {
                gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, holdOneFrameOfVideo,
                                  element, nullptr);
                gst_object_unref(input);
            }
        }
    } else if (g_str_has_prefix(name, "avdec_"))
        decodeWithoutFrameThreads(element);
    return TRUE; // stay installed for every later pipeline
}

} // namespace

void limitQueuedFrames()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            return;
        for (const char *signal : {"element-added", "deep-element-added"}) {
            if (const guint id = g_signal_lookup(signal, GST_TYPE_BIN))
                g_signal_add_emission_hook(id, 0, limitQueue, nullptr, nullptr);
        }
    });
}

void leaveOutCameras()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Qt starts GStreamer with its first player, and then its device monitor at once.
        if (!gst_init_check(nullptr, nullptr, nullptr))
            return;
        if (GstDeviceProviderFactory *cameras =
                gst_device_provider_factory_find("v4l2deviceprovider")) {
            gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(cameras), GST_RANK_NONE);
            gst_object_unref(cameras);
        }
    });
}

} // namespace MediaBuffering
