// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>

// HEIC and AVIF pictures. libheif brings decoders for HEVC and AV1 (libde265, libx265, libaom,
// libdav1d) whose loading and tables cost every process milliseconds of its start and memory of
// its own, so they live in a module (mirel-heif.so, HeifDecoder.cpp) that the preview process
// loads on its first ISO media file, not at its start.
namespace HeifJobs {

struct Picture
{
    bool isHeif = false; // libheif knows the file: it is not for Qt's readers to try
    QImage image;        // null when it could not be decoded; full size or a large enough
                         // embedded thumbnail, upright
    QSize fullSize;      // the picture's upright size
};

// The primary picture of `file` (an open descriptor of `size` bytes, read with pread only), or
// its embedded thumbnail when that covers `bounds`. Pictures over `maxMegabytes` decoded are
// refused.
Picture decode(int file, qint64 size, const QSize &bounds, int maxMegabytes);

// The module's one entry point, looked up by this name.
using DecodeFunction = void (*)(int file, qint64 size, int width, int height, int maxMegabytes,
                                Picture *picture);
inline constexpr char decodeSymbol[] = "mirelDecodeHeif";
inline constexpr char moduleName[] = "mirel-heif.so";

} // namespace HeifJobs
