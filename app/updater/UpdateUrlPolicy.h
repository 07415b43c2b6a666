#pragma once

#include <QUrl>

// Which addresses the updater may contact: HTTPS anywhere, plain HTTP only on this machine
// (a loopback address written as such, so no name lookup can send it elsewhere).
class UpdateUrlPolicy final
{
public:
    static bool allows(const QUrl &url);
};
