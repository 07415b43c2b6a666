// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogFolderPicker.h"
#include "TestHome.h"

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Plays the user in the folder dialog once it is open: `answer` runs on the dialog.
class DialogUser final
{
public:
    explicit DialogUser(std::function<void(QFileDialog &)> answer)
        : m_answer(std::move(answer))
    {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<QFileDialog *>(widget)) {
                    m_poll.stop();
                    fileMode = dialog->fileMode();
                    dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly);
                    parent = dialog->parentWidget();
                    m_answer(*dialog);
                    return;
                }
            }
        });
        m_poll.start();
    }

    std::optional<QFileDialog::FileMode> fileMode; // set once the dialog was seen
    bool dirsOnly = false;
    QWidget *parent = nullptr;

private:
    std::function<void(QFileDialog &)> m_answer;
    QTimer m_poll;
};

} // namespace

// The real folder dialog, answered through its own accept and reject.
class TestFileDialogFolderPicker final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporaryHome(); }

private slots:
    void pick_data();
    void pick();
};

void TestFileDialogFolderPicker::pick_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("chosen folder comes back") << true;
    QTest::newRow("cancel gives nothing") << false;
}

void TestFileDialogFolderPicker::pick()
{
    QFETCH(bool, accept);
    TestHome home;
    const QString chosen = home.folder(u"Projects/Site"_s);
    QWidget window;
    DialogUser user([&](QFileDialog &dialog) {
        dialog.setDirectory(chosen);
        if (accept)
            static_cast<QDialog &>(dialog).accept(); // QFileDialog::accept, through QDialog
        else
            dialog.reject();
    });

    const QList<QUrl> folders = FileDialogFolderPicker().pickFolders(&window);
    QCOMPARE(user.fileMode, QFileDialog::Directory);
    QVERIFY(user.dirsOnly);
    QCOMPARE(user.parent, &window);
    QCOMPARE(folders, accept ? QList<QUrl>{QUrl::fromLocalFile(chosen)} : QList<QUrl>{});
}

QTEST_MAIN(TestFileDialogFolderPicker)
#include "tst_FileDialogFolderPicker.moc"
