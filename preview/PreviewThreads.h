// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QThreadPool;

// The threads that open, decode and thumbnail files for the previews. Mirel's own, never Qt's
// global pool: a read stuck on a stalled mount then holds one of these, never a thread that Qt's
// painting waits for. Never destroyed, so quitting does not wait for such a read.
QThreadPool &previewThreadPool();
