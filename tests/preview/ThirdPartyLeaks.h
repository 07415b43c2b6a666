#pragma once

// Leaks inside the libraries under Qt PDF and Qt Multimedia (Qt 6.4 on Debian 12), which
// the leak checker of the sanitizer build would otherwise blame on these tests:
// PDFium's loader state after a failed load, QPdfView's scroller and render thread,
// Qt Multimedia's video window, and GStreamer's and PulseAudio's process-wide state.
// Only stacks that pass through those libraries are exempt; a leak made by Mirel's own
// code alone is still reported. Include in exactly one file per test executable.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt6Pdf.so\n"
           "leak:libQt6PdfWidgets.so\n"
           "leak:libQt6Multimedia.so\n"
           "leak:libgstreamer-1.0.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libpulse.so\n"
           "leak:libpulsecommon\n"
           "leak:QScroller::grabGesture\n";
}
