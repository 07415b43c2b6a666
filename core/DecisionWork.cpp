// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecisionWork.h"

#include "FileNames.h"
#include "NoReplaceMove.h"

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

// A month folder holding this many copies of one name is not a clash any more.
constexpr int maxNameAttempts = 100000;

QString plainCause(const TrackedFile &file, const FileResult &result)
{
    switch (result.code) {
    case ENOENT:
        return u"it is no longer in %1"_s.arg(file.sourceFolderName());
    case NoReplaceMove::replacedError:
        return NoReplaceMove::replacedReason();
    case NoReplaceMove::changedError:
        return NoReplaceMove::changedReason();
    case ECANCELED:
        return u"Mirel was quit while it was being copied"_s;
    default:
        break;
    }
    // The Trash words its own reasons ("every name in the Trash is taken"); they follow its
    // fixed prefix.
    const QString trashPrefix = u" could not be moved to the Trash: "_s;
    const qsizetype at = result.message.lastIndexOf(trashPrefix);
    if (at >= 0)
        return result.message.sliced(at + trashPrefix.size());
    return qt_error_string(result.code);
}

// True when the path still holds what was listed, as far as a look at it tells.
bool stillListed(const FileSystem &fileSystem, const TrackedFile &file)
{
    const FileIdentity now = fileSystem.identityOf(file.filePath);
    if (!file.identity.isKnown())
        return fileSystem.exists(file.filePath);
    return now.device == file.identity.device && now.inode == file.identity.inode &&
           now.kind == file.identity.kind;
}

DecisionWork::Outcome failed(const TrackedFile &file, const FileResult &result)
{
    DecisionWork::Outcome outcome;
    outcome.result = result;
    outcome.cause = plainCause(file, result);
    outcome.done = true;
    return outcome;
}

// The folders that making `folder` would add, deepest first.
QStringList missingFolders(const FileSystem &fileSystem, const QString &folder)
{
    QStringList missing;
    for (QString path = folder; path.size() > 1 && !fileSystem.exists(path);
         path = FileNames::parentPath(path))
        missing.append(path);
    return missing;
}

void removeIfEmpty(const FileSystem &fileSystem, const QStringList &folders)
{
    for (const QString &folder : folders)
        fileSystem.removeEmptyFolder(folder);
}

} // namespace

DecisionWork::Outcome DecisionWork::check(const FileSystem &fileSystem, Kind kind,
                                          const TrackedFile &file, const QString &monthFolder)
{
    if (!stillListed(fileSystem, file)) {
        if (kind == Kind::Delete)
            return trash(fileSystem, file);
        // The move looks at the source before anything else, so it says what is wrong with
        // it in the usual words, and makes no folder.
        const FileResult moved = fileSystem.moveWithoutReplacing(
            file.filePath, monthFolder + u'/' + FileNames::fileName(file.filePath), file.identity);
        if (moved.code == ENOENT || moved.code == NoReplaceMove::replacedError)
            return failed(file, moved);
        // Back in place meanwhile, or already moved: the whole Keep, at once.
        if (moved.ok()) {
            Outcome outcome;
            outcome.done = true;
            outcome.keptPath = monthFolder + u'/' + FileNames::fileName(file.filePath);
            outcome.kept = fileSystem.identityOf(outcome.keptPath);
            return outcome;
        }
        return keep(fileSystem, file, monthFolder);
    }
    Outcome outcome;
    if (kind == Kind::Keep) {
        const QStringList missing = missingFolders(fileSystem, monthFolder);
        if (const FileResult made = fileSystem.makePath(monthFolder); !made.ok()) {
            removeIfEmpty(fileSystem, missing);
            outcome = failed(file, made);
            outcome.cause =
                u"its folder in Kept could not be made (%1)"_s.arg(qt_error_string(made.code));
        } else {
            outcome.madeFolders = missing;
        }
    }
    return outcome;
}

DecisionWork::Outcome DecisionWork::keep(const FileSystem &fileSystem, const TrackedFile &file,
                                         const QString &monthFolder, const CopyControl *control,
                                         const QStringList &madeBefore)
{
    const QStringList made = missingFolders(fileSystem, monthFolder) + madeBefore;
    Outcome outcome = keepInto(fileSystem, file, monthFolder, control);
    if (!outcome.result.ok())
        removeIfEmpty(fileSystem, made);
    return outcome;
}

DecisionWork::Outcome DecisionWork::keepInto(const FileSystem &fileSystem, const TrackedFile &file,
                                             const QString &monthFolder, const CopyControl *control)
{
    if (const FileResult made = fileSystem.makePath(monthFolder); !made.ok()) {
        Outcome outcome = failed(file, made);
        outcome.cause =
            u"its folder in Kept could not be made (%1)"_s.arg(qt_error_string(made.code));
        return outcome;
    }
    const QString name = FileNames::fileName(file.filePath);
    for (int n = 0; n < maxNameAttempts; ++n) {
        const QString candidate =
            monthFolder + u'/' + (n == 0 ? name : FileNames::clashName(name, n));
        if (fileSystem.exists(candidate))
            continue;
        // Another program may take the name after the check: the move refuses to replace
        // it, and the next name is tried.
        const FileResult moved =
            fileSystem.moveWithoutReplacing(file.filePath, candidate, file.identity, control);
        if (moved.code == EEXIST)
            continue;
        if (!moved.ok())
            return failed(file, moved);
        Outcome outcome;
        outcome.done = true;
        outcome.keptPath = candidate;
        outcome.kept = fileSystem.identityOf(candidate);
        return outcome;
    }
    Outcome outcome = failed(
        file,
        FileResult::failure(EEXIST, u"no free name for \"%1\" in \"%2\""_s.arg(name, monthFolder)));
    outcome.cause = u"every name for it in \"%1\" is taken"_s.arg(monthFolder);
    return outcome;
}

DecisionWork::Outcome DecisionWork::trash(const FileSystem &fileSystem, const TrackedFile &file)
{
    Outcome outcome;
    outcome.result = fileSystem.moveToTrash(file.filePath, file.identity, &outcome.trashed);
    if (!outcome.result.ok())
        return failed(file, outcome.result);
    outcome.done = true;
    return outcome;
}

QString DecisionWork::failureText(Kind kind, const TrackedFile &file, const Outcome &outcome)
{
    const QString name = FileNames::displayName(file.filePath);
    return (kind == Kind::Keep ? u"Could not keep \"%1\": %2"_s : u"Could not delete \"%1\": %2"_s)
        .arg(name, outcome.cause);
}
