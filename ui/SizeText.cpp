// SPDX-License-Identifier: GPL-3.0-or-later
#include "SizeText.h"

#include <QLocale>

QString SizeText::format(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}
