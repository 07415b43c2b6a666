// SPDX-License-Identifier: GPL-3.0-or-later
#include "SizeText.h"

#include <QCoreApplication>
#include <QLocale>

QString SizeText::format(qint64 bytes)
{
    // Qt's own text for one byte is plural ("1 bytes", "1 Bytes"); the translation gives the
    // singular where the language has one.
    if (bytes == 1)
        return QCoreApplication::translate("SizeText", "1 byte");
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}
