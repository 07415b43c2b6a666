#pragma once

#include <QString>

// Gives a file a new name in the same folder, failing instead of replacing a file already
// there, without a window between the check and the rename.
class NoReplaceRename final
{
public:
    // Returns 0 or an errno code; EEXIST when newPath is taken.
    static int rename(const QString &oldPath, const QString &newPath);
};
