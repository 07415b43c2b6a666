// SPDX-License-Identifier: GPL-3.0-or-later
#include "VersionComparison.h"

#include <algorithm>

namespace {

struct VersionPart
{
    QStringView digits; // without leading zeros
    QStringView suffix;
};

VersionPart splitPart(QStringView part)
{
    qsizetype digitEnd = 0;
    while (digitEnd < part.size() && part[digitEnd] >= u'0' && part[digitEnd] <= u'9')
        ++digitEnd;
    QStringView digits = part.first(digitEnd);
    while (!digits.isEmpty() && digits.front() == u'0')
        digits = digits.sliced(1);
    return {digits, part.sliced(digitEnd)};
}

int compareDigits(QStringView left, QStringView right)
{
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right); // same length: text order is number order
}

int comparePart(QStringView left, QStringView right)
{
    const VersionPart a = splitPart(left);
    const VersionPart b = splitPart(right);
    if (const int byNumber = compareDigits(a.digits, b.digits); byNumber != 0)
        return byNumber;
    if (a.suffix.isEmpty() != b.suffix.isEmpty())
        return a.suffix.isEmpty() ? 1 : -1; // a release is newer than its pre-release
    return a.suffix.compare(b.suffix);
}

// The next dot-separated part starting at position; advances position past the dot.
QStringView nextPart(QStringView version, qsizetype &position)
{
    if (position >= version.size())
        return {};
    qsizetype dot = version.indexOf(u'.', position);
    if (dot < 0)
        dot = version.size();
    const QStringView part = version.sliced(position, dot - position);
    position = dot + 1;
    return part;
}

} // namespace

int compareVersions(QStringView left, QStringView right)
{
    left = left.trimmed();
    right = right.trimmed();
    qsizetype leftPosition = 0;
    qsizetype rightPosition = 0;
    while (leftPosition < left.size() || rightPosition < right.size()) {
        const QStringView a = nextPart(left, leftPosition);
        const QStringView b = nextPart(right, rightPosition);
        if (const int result = comparePart(a, b); result != 0)
            return std::clamp(result, -1, 1);
    }
    return 0;
}
