// The floor: starts its arguments as a program and waits for it, and nothing else.
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

int main(int, char* argv[])
{
    pid_t child;
    if (posix_spawnp(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) return 127;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
