// Ends the way it is told: `exit_with 255` returns 255, `exit_with signal 11` dies of
// signal 11.
#include <csignal>
#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "signal") == 0) {
        std::signal(std::atoi(argv[2]), SIG_DFL);
        std::raise(std::atoi(argv[2]));
    }
    return argc > 1 ? static_cast<int>(std::strtoul(argv[1], nullptr, 0)) : 0;
}
