// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// Mirel's diagnostics: single lines on standard output, flushed at once because other
// programs read them as they come. Paths in a line are written byte-exactly.
namespace Console {

void writeLine(const QString &line);

// Tests see the lines here instead of on standard output; an empty function restores it.
using Sink = std::function<void(const QString &line)>;
void setSink(Sink sink);

} // namespace Console
