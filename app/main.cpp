// Mirel's review in a terminal: the review list, Keep and Delete, without the tray panel.
// Standard output carries only Mirel's diagnostic lines; the review itself talks on
// standard error, so programs reading the diagnostics are not disturbed.
#include "AppState.h"
#include "FileNames.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

void show(QTextStream &out, const AppState &state)
{
    const std::optional<TrackedFile> file = state.currentFile();
    if (!file) {
        out << QCoreApplication::translate("main", "All clean!") << u' '
            << QCoreApplication::translate("main", "No files to review") << Qt::endl;
        return;
    }
    out << u'[' << state.currentIndex() + 1 << u'/' << state.files().size() << u"] "_s
        << FileNames::displayName(file->filePath) << u" \u2022 "_s << file->sourceFolderName()
        << u" \u2022 "_s
        << QLocale().formattedDataSize(file->fileSize, 1, QLocale::DataSizeSIFormat) << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Mirel"_s);
    QCoreApplication::setOrganizationName(u"Mirel"_s);

    AppState state;
    QTextStream in(stdin);
    QTextStream out(stderr);
    const QString help = QCoreApplication::translate(
        "main", "k keep, d delete, n next, p previous, r scan again, q quit");
    out << help << Qt::endl;
    for (show(out, state);; show(out, state)) {
        out << u"> "_s << Qt::flush;
        QString command;
        if (!in.readLineInto(&command))
            break;
        command = command.trimmed();
        if (command == u"q"_s)
            break;
        if (command == u"k"_s)
            state.keepCurrentFile();
        else if (command == u"d"_s)
            state.deleteCurrentFile();
        else if (command == u"n"_s && state.currentIndex() + 1 < state.files().size())
            state.setCurrentIndex(state.currentIndex() + 1);
        else if (command == u"p"_s && state.currentIndex() > 0)
            state.setCurrentIndex(state.currentIndex() - 1);
        else if (command == u"r"_s)
            state.scanFolders();
        else if (!command.isEmpty())
            out << help << Qt::endl;
    }
    return 0;
}
