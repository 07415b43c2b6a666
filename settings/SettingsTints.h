#pragma once

#include <QColor>

// The two accent colours of the settings window's symbols; readable on light and dark themes.
namespace SettingsTints {

inline QColor blue()
{
    return QColor(0x35, 0x84, 0xe4);
}

inline QColor red()
{
    return QColor(0xe0, 0x1b, 0x24);
}

} // namespace SettingsTints
