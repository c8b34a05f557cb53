#include "common/OpenFiles.h"

#include <sys/resource.h>

#include <fstream>

long RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    rlim_t wanted = limit.rlim_max;
    if (wanted == RLIM_INFINITY) {
        // The kernel's own ceiling for one process.
        long open = 0;
        std::ifstream("/proc/sys/fs/nr_open") >> open;
        wanted = open > 0 ? rlim_t(open) : limit.rlim_cur;
    }
    if (wanted > limit.rlim_cur) {
        const rlimit raised{wanted, limit.rlim_max};
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit.rlim_cur = wanted;
    }
    return long(limit.rlim_cur);
}
