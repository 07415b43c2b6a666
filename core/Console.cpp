// SPDX-License-Identifier: GPL-3.0-or-later
#include "Console.h"

#include "PathCodec.h"

#include <cstdio>

namespace {
Console::Sink &sink()
{
    static Console::Sink current;
    return current;
}
} // namespace

void Console::writeLine(const QString &line)
{
    if (sink()) {
        sink()(line);
        return;
    }
    QByteArray bytes = PathCodec::encode(line);
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void Console::setSink(Sink newSink)
{
    sink() = std::move(newSink);
}
