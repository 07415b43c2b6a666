// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whether an XEmbed system tray runs: some window owns the X selection
// _NET_SYSTEM_TRAY_S<screen>. Always false off X11 (Wayland, offscreen).
namespace XEmbedTray {

bool isRunning();

} // namespace XEmbedTray
