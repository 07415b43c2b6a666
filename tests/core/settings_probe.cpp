// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the stored folder list and switches, one line each, as a newly started Mirel reads
// them.
#include "FolderAccessService.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QList<QUrl> folders = FolderAccessService::shared().loadFolders();
    out << "folders " << folders.size() << '\n';
    for (const QUrl &folder : folders)
        out << folder.toLocalFile() << '\n';
    return 0;
}
