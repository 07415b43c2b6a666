// SPDX-License-Identifier: GPL-3.0-or-later
#include "Sandbox.h"

#include <cerrno>
#include <cstddef>
#include <iterator>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>

namespace Sandbox {

namespace {

#if defined(__x86_64__)
constexpr unsigned int nativeArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned int nativeArch = AUDIT_ARCH_AARCH64;
#elif defined(__riscv) && __riscv_xlen == 64
constexpr unsigned int nativeArch = AUDIT_ARCH_RISCV64;
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned int nativeArch = AUDIT_ARCH_PPC64LE;
#elif defined(__s390x__)
constexpr unsigned int nativeArch = AUDIT_ARCH_S390X;
#else
constexpr unsigned int nativeArch = 0; // no filter: the network namespace is all there is
#endif

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's shadow memory alone is far over any data limit.
constexpr bool addressSanitized = true;
#else
constexpr bool addressSanitized = false;
#endif

bool setLimit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit limit = {soft, hard};
    return ::setrlimit(resource, &limit) == 0;
}

sock_filter statement(unsigned short code, unsigned int k)
{
    return sock_filter{code, 0, 0, k};
}

sock_filter jump(unsigned short code, unsigned int k, unsigned char ifTrue, unsigned char ifFalse)
{
    return sock_filter{code, ifTrue, ifFalse, k};
}

// Every socket but a local one fails with EACCES, and io_uring (which can open sockets past
// this filter) is not there. A system call of another architecture's table kills the process,
// so the filter cannot be stepped around through a compat entry.
bool installSocketFilter()
{
    if constexpr (nativeArch == 0) {
        return false;
    } else {
        constexpr unsigned int errnoAccess = SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA);
        constexpr unsigned int errnoNoSys = SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA);
        sock_filter program[] = {
            statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            jump(BPF_JMP | BPF_JEQ | BPF_K, nativeArch, 1, 0),
            statement(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
            statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            jump(BPF_JMP | BPF_JEQ | BPF_K, SYS_io_uring_setup, 0, 1),
            statement(BPF_RET | BPF_K, errnoNoSys),
            jump(BPF_JMP | BPF_JEQ | BPF_K, SYS_socket, 1, 0),
            statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            // The low half of the first argument: the address family.
            statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
            jump(BPF_JMP | BPF_JEQ | BPF_K, AF_UNIX, 0, 1),
            statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            statement(BPF_RET | BPF_K, errnoAccess),
        };
        const sock_fprog filter = {static_cast<unsigned short>(std::size(program)), program};
        return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
    }
}

} // namespace

Report apply()
{
    Report report;
    report.limits = (addressSanitized || setLimit(RLIMIT_DATA, dataLimitBytes, dataLimitBytes)) &&
                    setLimit(RLIMIT_CPU, cpuLimitSeconds, cpuLimitSeconds + 5) &&
                    setLimit(RLIMIT_CORE, 0, 0) &&
                    // The socket, one file and a memfd at a time, and what Qt opens for itself.
                    setLimit(RLIMIT_NOFILE, 64, 64);
    report.noNewPrivs = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
    // Where unprivileged user namespaces are allowed (Debian's default), a network namespace of
    // our own has nothing in it but a loopback that is down. Not everywhere (containers, some
    // hardened kernels), hence the filter as well, which needs no privilege at all.
    report.netNamespace = ::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0;
    report.socketFilter = report.noNewPrivs && installSocketFilter();
    return report;
}

double cpuSecondsUsed()
{
    rusage usage = {};
    if (::getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace Sandbox
