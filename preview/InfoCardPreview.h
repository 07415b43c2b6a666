// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QMimeType;
struct stat;

// What is known about a file that has no preview of its own: its kind icon, name,
// kind description, size and modification date. It never touches the file: what stat said is
// handed in (null when the file is not there).
class InfoCardPreview final : public QWidget
{
    Q_OBJECT

public:
    InfoCardPreview(const QString &path, const QMimeType &mime, const struct stat *attributes,
                    QWidget *parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    QString nameText() const;
    QString kindText() const;
    QString sizeText() const;
    QString dateText() const;

    // Why the file has no preview of its own though its kind has one (an archive that cannot
    // be read), as a line of its own under the others; empty hides it.
    void setReason(const QString &reason);
    QString reasonText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLabel *addLine(const QString &text);

    QString m_fileName;
    QString m_symbolName;
    QLabel *m_name = nullptr;
    QLabel *m_kind = nullptr;
    QLabel *m_size = nullptr;
    QLabel *m_date = nullptr;
    QLabel *m_reason = nullptr;
};
