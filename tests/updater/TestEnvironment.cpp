#include "TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

QTemporaryDir &home()
{
    static QTemporaryDir folder;
    return folder;
}

} // namespace

void TestEnvironment::install()
{
    const QString root = home().path();
    const auto set = [&root](const char *name, const char *sub) {
        const QString folder = root + QString::fromLatin1(sub);
        QDir().mkpath(folder);
        qputenv(name, QFile::encodeName(folder));
    };
    set("HOME", "");
    set("XDG_CONFIG_HOME", "/.config");
    set("XDG_DATA_HOME", "/.local/share");
    set("XDG_CACHE_HOME", "/.cache");
    set("XDG_STATE_HOME", "/.local/state");
    set("XDG_RUNTIME_DIR", "/runtime");
    QFile::setPermissions(root + u"/runtime"_s,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); // as Qt requires
    for (const char *proxy :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(proxy);
}

QString TestEnvironment::path()
{
    return home().path();
}
