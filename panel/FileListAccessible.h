// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// How screen readers see the file list: a list, its rows list items ("Files, list, 38
// items"), the current one selected. Without this they are generic containers.
namespace FileListAccessible {

// A factory for QAccessible::installFactory().
QAccessibleInterface *create(const QString &className, QObject *object);

} // namespace FileListAccessible
