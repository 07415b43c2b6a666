// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QObject;

// A message in the desktop's notification area (org.freedesktop.Notifications), for news the
// user should get while Mirel's panel is closed. The call never waits for the bus.
namespace DesktopNotification {

// Sends the notification; where no notification service answers, `fallback` runs instead
// (on the main thread, once the bus has said so). `context` ends the wait for the answer.
void show(const QString &title, const QString &body, QObject *context,
          std::function<void()> fallback = {});

// Tests see each notification here instead of the bus.
void setSink(std::function<void(const QString &title, const QString &body)> sink);

} // namespace DesktopNotification
