// The processes of a run: the program and everything it started, found through /proc as
// the launcher's descendants. Under a limit the launcher adopts what the program leaves
// behind (a background child, a daemon that called setsid), so that all of it stays in
// the tree, is measured with it, and ends with it.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "internal.h"

namespace posix {

namespace {

// Reads a small file of /proc whole, or as much as fits; false when it cannot be read.
bool readProc(const char* name, char* text, std::size_t size)
{
    const int descriptor = open(name, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    std::size_t used = 0;
    while (used + 1 < size) {
        const ssize_t got = read(descriptor, text + used, size - 1 - used);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        used += static_cast<std::size_t>(got);
    }
    close(descriptor);
    text[used] = '\0';
    return true;
}

// Calls `each(number)` for every number in a file of /proc, however long it is.
template <typename Each>
void forEachNumber(const char* name, Each each)
{
    const int descriptor = open(name, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return;
    char text[4096];
    long number = -1;
    for (;;) {
        const ssize_t got = read(descriptor, text, sizeof text);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (ssize_t at = 0; at < got; ++at) {
            if (text[at] >= '0' && text[at] <= '9') {
                number = (number < 0 ? 0 : number * 10) + (text[at] - '0');
            } else if (number >= 0) {
                each(number);
                number = -1;
            }
        }
    }
    if (number >= 0) each(number);
    close(descriptor);
}

// A process and its parent, as found.
struct Found {
    pid_t pid;
    pid_t parent;
};

// Calls `each(task)` for every thread of the process: a process's children hang on the
// thread that started them, and its memory is told by any thread still alive.
template <typename Each>
void forEachTask(pid_t process, Each each)
{
    char name[48];
    std::snprintf(name, sizeof name, "/proc/%d/task", static_cast<int>(process));
    DIR* const tasks = opendir(name);
    if (tasks == nullptr) return;
    while (const dirent* const task = readdir(tasks)) {
        if (task->d_name[0] != '.' && each(static_cast<pid_t>(std::atoi(task->d_name)))) break;
    }
    closedir(tasks);
}

// The launcher's descendants, each after its parent.
std::vector<Found> descendants()
{
    std::vector<Found> found;
    pid_t parent = getpid();
    for (std::size_t next = 0;; ++next) {
        forEachTask(parent, [&](pid_t task) {
            char name[64];
            std::snprintf(name, sizeof name, "/proc/%d/task/%d/children", static_cast<int>(parent), static_cast<int>(task));
            forEachNumber(name, [&](long pid) { found.push_back({static_cast<pid_t>(pid), parent}); });
            return false;
        });
        if (next == found.size()) return found;
        parent = found[next].pid;
    }
}

// A figure in kB from /proc/<pid>/status, such as "VmRSS:"; -1 when it is not there.
long kibibytes(const char* status, const char* field)
{
    const char* const at = std::strstr(status, field);
    return at != nullptr ? std::strtol(at + std::strlen(field), nullptr, 10) : -1;
}

// What a process holds now and the most it held, in kB, by any of its threads that still
// has its memory: when its first thread has ended (pthread_exit in main), the others go on
// with all of it.
void memoryOf(pid_t process, long& resident, long& highest)
{
    resident = highest = 0;
    forEachTask(process, [&](pid_t task) {
        char name[64], status[4096];
        std::snprintf(name, sizeof name, "/proc/%d/task/%d/status", static_cast<int>(process), static_cast<int>(task));
        if (!readProc(name, status, sizeof status)) return false;
        const long now = kibibytes(status, "\nVmRSS:");
        if (now < 0) return false;
        resident = now;
        highest = kibibytes(status, "\nVmHWM:");
        return true;
    });
}

enum class Kill { sent, gone, moved };

// Sends SIGKILL to the process if it is still the child of that parent, through a pidfd
// taken before the check, so that a number the system has given to another process since
// is never signalled. One adopted meanwhile has another parent: it is found again there.
Kill killChildOf(pid_t process, pid_t parent)
{
    const long descriptor = syscall(SYS_pidfd_open, process, 0);
    if (descriptor < 0 && errno != ENOSYS) return Kill::gone;
    const pid_t now = parentOf(process);
    if (now == parent) {
        if (descriptor >= 0) syscall(SYS_pidfd_send_signal, static_cast<int>(descriptor), SIGKILL, nullptr, 0);
        else kill(process, SIGKILL);
    }
    if (descriptor >= 0) close(static_cast<int>(descriptor));
    return now == parent ? Kill::sent : now == 0 ? Kill::gone : Kill::moved;
}

}  // namespace

pid_t parentOf(pid_t process)
{
    if (process == getpid()) return getppid();
    char name[32], stat[512];
    std::snprintf(name, sizeof name, "/proc/%d/stat", static_cast<int>(process));
    if (!readProc(name, stat, sizeof stat)) return 0;
    // After the name, which may hold anything: the state, then the parent.
    const char* const nameEnd = std::strrchr(stat, ')');
    int parent = 0;
    return nameEnd != nullptr && std::sscanf(nameEnd + 1, " %*c %d", &parent) == 1 ? parent : 0;
}

void adoptOrphans(bool adopt) { prctl(PR_SET_CHILD_SUBREAPER, adopt ? 1 : 0); }

double descendantsMegabytes()
{
    if (access("/proc/self/task", F_OK) != 0) return -1;
    long sum = 0, highest = 0;
    for (const Found& process : descendants()) {
        long resident = 0, mark = 0;
        memoryOf(process.pid, resident, mark);
        sum += resident;
        if (mark > highest) highest = mark;
    }
    return static_cast<double>(sum > highest ? sum : highest) / 1024;
}

void killDescendants()
{
    std::vector<pid_t> killed;
    for (bool again = true; again;) {
        again = false;
        for (const Found& process : descendants()) {
            bool known = false;
            for (const pid_t pid : killed) known = known || pid == process.pid;
            if (known) continue;
            const Kill sent = killChildOf(process.pid, process.parent);
            if (sent == Kill::sent) killed.push_back(process.pid);
            again = again || sent != Kill::gone;
        }
    }
}

}  // namespace posix
