#pragma once

#include <QString>

// Points HOME and the XDG folders at a private temporary folder for the whole test run, and
// drops proxy settings so every request stays on this machine. Call from initMain().
class TestEnvironment final
{
public:
    static void install();
    static QString path();
};
