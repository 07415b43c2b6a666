// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>

class QThreadPool;

// The threads that open, decode and thumbnail files for the previews. Mirel's own, never Qt's
// global pool: a read stuck on a stalled mount then holds one of these, never a thread that Qt's
// painting waits for. Never destroyed, so quitting does not wait for such a read longer than
// finishPreviewThreads() allows.
QThreadPool &previewThreadPool();

// Drops the work not yet started and waits until `deadline` for the work running now. Run as the
// application object goes, before the libraries' own globals are destroyed at exit: a thumbnail
// still inside QtPdf then would hold its global mutex while exit destroys it, and the process
// aborts. Work still stuck in a read after the deadline is left to end with the process.
// Returns whether every running job finished.
bool finishPreviewThreads(QDeadlineTimer deadline);
