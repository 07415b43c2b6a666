// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>

// A still of a video for its thumbnail and for its preview before playback starts. The decoding
// libraries (libavformat, libavcodec, libswscale and the hundred libraries they bring) cost every
// process that maps them some 17 MB, so they live in a module of their own (mirel-video.so,
// VideoDecoder.cpp) that the preview process loads on its first video, not at its start.
namespace VideoJobs {

struct Frame
{
    QImage image;   // null when the file holds no video that could be decoded
    QSize fullSize; // the video's upright size on screen (rotation and pixel shape applied)
};

// A frame from about a tenth into the video read from `file` (an open descriptor, read with
// pread only), upright, fitted within `bounds` (never enlarged). A frame that is nearly all black
// (a fade-in) is passed over for a later one, a few times at most.
Frame frame(int file, const QSize &bounds);

// The module's one entry point, looked up by this name.
using DecodeFunction = void (*)(int file, int width, int height, Frame *frame);
inline constexpr char decodeSymbol[] = "mirelDecodeVideoFrame";
inline constexpr char moduleName[] = "mirel-video.so";

} // namespace VideoJobs
