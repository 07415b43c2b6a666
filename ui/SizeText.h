// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The one size text of the panel and its rows: decimal units, as file managers show them.
namespace SizeText {

QString format(qint64 bytes);

} // namespace SizeText
