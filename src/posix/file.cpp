// The files the launcher reads itself: a program's answers, and the folder of its cases.

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../platform.h"

int openFile(const char* path, File& file)
{
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    file = descriptor;
    if (descriptor < 0) return errno;
    // A folder opens, and then cannot be read.
    struct stat found {};
    if (fstat(descriptor, &found) == 0 && S_ISDIR(found.st_mode)) {
        close(descriptor);
        return EISDIR;
    }
    return 0;
}

std::size_t readFile(File file, char* text, std::size_t size)
{
    for (;;) {
        const ssize_t got = read(file, text, size);
        if (got < 0 && errno == EINTR) continue;
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

void closeFile(File file) { close(file); }

int listFolder(const char* folder, void (*each)(const char* name, void* context), void* context)
{
    DIR* const names = opendir(folder);
    if (names == nullptr) return errno;
    while (const dirent* const entry = readdir(names)) each(entry->d_name, context);
    closedir(names);
    return 0;
}
