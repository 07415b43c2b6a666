// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaBuffering.h"

#include <QTest>

#include <gst/gst.h>

// What a pipeline holds between decoder and screen: the queue before the video sink keeps a
// frame or two, and libav's decoders hold no frame per thread. A GStreamer update that renames
// what is set here would silently double a playing preview's memory.
class TestMediaBuffering final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void elementsAddedToAPipeline_data();
    void elementsAddedToAPipeline();
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

QTEST_GUILESS_MAIN(TestMediaBuffering)
#include "tst_MediaBuffering.moc"
