#include "MirelApp.h"
#include "MirelVersion.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mirel"_s);
    QApplication::setOrganizationName(u"Mirel"_s);
    QApplication::setApplicationVersion(QStringLiteral(MIREL_VERSION));
    QGuiApplication::setDesktopFileName(u"io.mirel.Mirel"_s);
    QApplication::setWindowIcon(QIcon(u":/app/io.mirel.Mirel.svg"_s));
    // Mirel lives in the tray: closing the settings window or a dialog must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    MirelApp::installTranslations(QLocale(), &app);

    SingleInstance instance(SingleInstance::defaultName());
    if (!instance.becomePrimary())
        return 0;

    MirelApp mirel;
    QObject::connect(&instance, &SingleInstance::openRequested, &mirel, &MirelApp::showPanel);
    return app.exec();
}
