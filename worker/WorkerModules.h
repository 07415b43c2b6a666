// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The preview process's modules (mirel-video.so, mirel-heif.so): decoders whose libraries are
// loaded on the first file that needs them, not at every process's start.
namespace WorkerModules {

// `symbol` of `module`, which lies beside this executable (never found through a search path),
// loaded now and kept for the life of the process; null when the module is missing or broken.
void *symbol(const char *module, const char *symbol);

} // namespace WorkerModules
