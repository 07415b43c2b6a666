// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <sys/types.h>
#include <unistd.h>

#include <utility>

// Folder creation and descriptors on the bytes of a path, for the code that talks to the file
// system directly (the name arithmetic is FileNames').
namespace PosixPaths {

// Creates the folder and every missing parent with `mode`. Returns 0, or an errno code;
// ENOTDIR when something other than a folder stands at the path.
int makePath(const QByteArray &path, mode_t mode);

// Owns a file descriptor and closes it when the scope ends, whatever path the code takes.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {}
    UniqueFd(UniqueFd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

} // namespace PosixPaths
