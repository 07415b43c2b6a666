// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaBuffering.h"
#include "TestHome.h"
#include "VideoFrameView.h"

#include <QHash>
#include <QTest>
#include <QVideoFrame>

#include <gst/gst.h>

// What a pipeline holds between decoder and screen: the queues before the video sink keep a
// frame each, and libav's decoders hold no frame per thread. A GStreamer update that renames
// what is set here would silently double a playing preview's memory. And the frames it hands
// over, in each pixel layout, become pictures of the right colours.
class TestMediaBuffering final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void elementsAddedToAPipeline_data();
    void elementsAddedToAPipeline();
    void queueHoldsOneFrameOfVideo_data();
    void queueHoldsOneFrameOfVideo();
    void videoFrameColours_data();
    void videoFrameColours();
};

void TestMediaBuffering::initTestCase()
{
    gst_init(nullptr, nullptr);
    MediaBuffering::limitQueuedFrames();
}

void TestMediaBuffering::elementsAddedToAPipeline_data()
{
    QTest::addColumn<QByteArray>("factory");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QByteArray>("expected"); // a number, or the nick of a flag
    QTest::addColumn<bool>("nested");         // added to a bin inside the pipeline

    QTest::newRow("queue") << QByteArray("queue") << QByteArray("max-size-bytes")
                           << QByteArray("2097152") << false;
    QTest::newRow("queue deep in a bin")
        << QByteArray("queue") << QByteArray("max-size-bytes") << QByteArray("2097152") << true;
    QTest::newRow("H.264 decoder")
        << QByteArray("avdec_h264") << QByteArray("thread-type") << QByteArray("slice") << true;
    QTest::newRow("MPEG-4 decoder")
        << QByteArray("avdec_mpeg4") << QByteArray("thread-type") << QByteArray("slice") << false;
}

void TestMediaBuffering::elementsAddedToAPipeline()
{
    QFETCH(QByteArray, factory);
    QFETCH(QByteArray, property);
    QFETCH(QByteArray, expected);
    QFETCH(bool, nested);

    GstElement *element = gst_element_factory_make(factory.constData(), nullptr);
    if (!element)
        QSKIP("This GStreamer has no such element (gstreamer1.0-libav is missing)");
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *bin = nested ? gst_bin_new(nullptr) : nullptr;
    if (bin)
        gst_bin_add(GST_BIN(pipeline), bin);
    gst_bin_add(GST_BIN(bin ? bin : pipeline), element);

    GValue value = G_VALUE_INIT;
    g_object_get_property(G_OBJECT(element), property.constData(), &value);
    QByteArray shown;
    if (G_VALUE_HOLDS_FLAGS(&value)) {
        // By nick: how the value is printed differs between GStreamer versions.
        auto *kinds = static_cast<GFlagsClass *>(g_type_class_ref(G_VALUE_TYPE(&value)));
        const GFlagsValue *first = g_flags_get_first_value(kinds, g_value_get_flags(&value));
        shown = first ? QByteArray(first->value_nick) : QByteArray("auto");
        g_type_class_unref(kinds);
    } else {
        gchar *text = gst_value_serialize(&value);
        shown = text;
        g_free(text);
    }
    g_value_unset(&value);
    gst_object_unref(pipeline);
    QCOMPARE(shown, expected);
}

void TestMediaBuffering::queueHoldsOneFrameOfVideo_data()
{
    QTest::addColumn<QByteArray>("caps");
    QTest::addColumn<uint>("expected");
    QTest::newRow("decoded video")
        << QByteArray("video/x-raw, format=I420, width=64, height=48") << 1u;
    QTest::newRow("decoded sound") << QByteArray("audio/x-raw, format=S16LE, rate=44100") << 200u;
}

// Whether a queue carries decoded video is known only once the stream's format reaches it.
void TestMediaBuffering::queueHoldsOneFrameOfVideo()
{
    QFETCH(QByteArray, caps);
    QFETCH(uint, expected);
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *queue = gst_element_factory_make("queue", nullptr);
    QVERIFY(queue);
    gst_bin_add(GST_BIN(pipeline), queue);
    QCOMPARE(gst_element_set_state(queue, GST_STATE_PAUSED), GST_STATE_CHANGE_SUCCESS);
    GstPad *input = gst_element_get_static_pad(queue, "sink");
    gst_pad_send_event(input, gst_event_new_stream_start("test"));
    GstCaps *format = gst_caps_from_string(caps.constData());
    gst_pad_send_event(input, gst_event_new_caps(format));
    gst_caps_unref(format);
    gst_object_unref(input);
    guint frames = 0;
    g_object_get(queue, "max-size-buffers", &frames, nullptr);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    QCOMPARE(frames, expected);
}

void TestMediaBuffering::videoFrameColours_data()
{
    QTest::addColumn<int>("pixelFormat");
    // The channels of one pixel in each plane; planes after the first are half as wide and high.
    QTest::addColumn<QByteArrayList>("planes");
    QTest::addColumn<QSize>("bounds");
    const int i420 = QVideoFrameFormat::Format_YUV420P;
    QTest::newRow("I420 made smaller") << i420 << QByteArrayList{"Y", "U", "V"} << QSize(32, 32);
    QTest::newRow("YV12") << int(QVideoFrameFormat::Format_YV12) << QByteArrayList{"Y", "V", "U"}
                          << QSize();
    QTest::newRow("NV12") << int(QVideoFrameFormat::Format_NV12) << QByteArrayList{"Y", "UV"}
                          << QSize();
    QTest::newRow("NV21") << int(QVideoFrameFormat::Format_NV21) << QByteArrayList{"Y", "VU"}
                          << QSize();
    QTest::newRow("BGRA") << int(QVideoFrameFormat::Format_BGRA8888) << QByteArrayList{"BGRA"}
                          << QSize(32, 32);
}

void TestMediaBuffering::videoFrameColours()
{
    QFETCH(int, pixelFormat);
    QFETCH(QByteArrayList, planes);
    QFETCH(QSize, bounds);
    // Left half orange (230, 120, 20), right half blue (20, 60, 200): each channel's value for
    // the two, in limited-range BT.601 (Y, U, V) or as BGRA bytes.
    const QColor orange(230, 120, 20), blue(20, 60, 200);
    const QHash<char, std::pair<uchar, uchar>> channels{
        {'Y', {138, 71}}, {'U', {68, 195}}, {'V', {183, 101}}, {'B', {20, 200}},
        {'G', {120, 60}}, {'R', {230, 20}}, {'A', {255, 255}}};
    const QSize size(64, 48);
    QVideoFrameFormat frameFormat(size, QVideoFrameFormat::PixelFormat(pixelFormat));
    frameFormat.setColorSpace(QVideoFrameFormat::ColorSpace_BT601);
    frameFormat.setColorRange(QVideoFrameFormat::ColorRange_Video);
    QVideoFrame frame(frameFormat);
    QVERIFY(frame.map(QVideoFrame::WriteOnly));
    for (int plane = 0; plane < planes.size(); ++plane) {
        const QSize planeSize = plane == 0 ? size : size / 2;
        for (int y = 0; y < planeSize.height(); ++y) {
            uchar *byte = frame.bits(plane) + y * frame.bytesPerLine(plane);
            for (int x = 0; x < planeSize.width(); ++x) {
                for (char name : planes[plane]) {
                    const auto [left, right] = channels.value(name);
                    *byte++ = x < planeSize.width() / 2 ? left : right;
                }
            }
        }
    }
    frame.unmap();

    const QImage image = VideoFrameView::toImage(frame, bounds);
    QCOMPARE(image.size(), bounds.isEmpty() ? size : QSize(32, 24));
    const QColor left = image.pixelColor(image.width() / 4, image.height() / 2);
    const QColor right = image.pixelColor(3 * image.width() / 4, image.height() / 2);
    QVERIFY2(roughlyEqual(left, orange, 8), qPrintable(left.name()));
    QVERIFY2(roughlyEqual(right, blue, 8), qPrintable(right.name()));
}

QTEST_GUILESS_MAIN(TestMediaBuffering)
#include "tst_MediaBuffering.moc"
