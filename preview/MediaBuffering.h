// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace MediaBuffering {

// Caps the decoded video the player's pipelines hold between decoder and screen. Call it after a
// QMediaPlayer exists (which starts GStreamer) and before its source is set; once is enough.
// Does nothing when the media back end does not run on GStreamer.
void limitQueuedFrames();

// Leaves the cameras out of the devices Qt Multimedia watches from its first player on: Mirel
// plays files and never records, and the Video4Linux provider would load its libraries and watch
// udev for the life of the process. Call it before the first QMediaPlayer exists.
void leaveOutCameras();

} // namespace MediaBuffering
