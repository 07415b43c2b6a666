// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogFolderPicker.h"
#include "TestHome.h"

#include <QApplication>
#include <QFileDialog>
#include <QPointer>
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
                    m_seen = dialog;
                    m_fileMode = dialog->fileMode();
                    m_dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly);
                    m_parent = dialog->parentWidget();
                    m_answer(*dialog);
                    return;
                }
            }
        });
        m_poll.start();
    }

    bool sawDialog() const { return m_seen != nullptr || m_fileMode.has_value(); }
    std::optional<QFileDialog::FileMode> fileMode() const { return m_fileMode; }
    bool dirsOnly() const { return m_dirsOnly; }
    QWidget *parent() const { return m_parent; }

private:
    std::function<void(QFileDialog &)> m_answer;
    QTimer m_poll;
    QPointer<QFileDialog> m_seen;
    std::optional<QFileDialog::FileMode> m_fileMode;
    bool m_dirsOnly = false;
    QWidget *m_parent = nullptr;
};

} // namespace

// The real folder dialog, answered through its own accept and reject.
class TestFileDialogFolderPicker final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporaryHome(); }

private slots:
    void chosenFolderComesBack();
    void cancelGivesNothing();
};

void TestFileDialogFolderPicker::chosenFolderComesBack()
{
    TestHome home;
    const QString chosen = home.folder(u"Projects/Site"_s);
    QWidget window;
    DialogUser user([&chosen](QFileDialog &dialog) {
        dialog.setDirectory(chosen);
        static_cast<QDialog &>(dialog).accept(); // QFileDialog::accept, through QDialog
    });

    FileDialogFolderPicker picker;
    const QList<QUrl> folders = picker.pickFolders(&window);

    QVERIFY(user.sawDialog());
    QCOMPARE(user.fileMode(), QFileDialog::Directory);
    QVERIFY(user.dirsOnly());
    QCOMPARE(user.parent(), &window);
    QCOMPARE(folders, QList<QUrl>{QUrl::fromLocalFile(chosen)});
}

void TestFileDialogFolderPicker::cancelGivesNothing()
{
    TestHome home;
    DialogUser user([](QFileDialog &dialog) { dialog.reject(); });
    FileDialogFolderPicker picker;
    const QList<QUrl> folders = picker.pickFolders(nullptr);
    QVERIFY(user.sawDialog());
    QCOMPARE(folders, QList<QUrl>{});
}

QTEST_MAIN(TestFileDialogFolderPicker)
#include "tst_FileDialogFolderPicker.moc"
