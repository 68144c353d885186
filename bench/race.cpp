// Races commands against each other, interleaved: each round starts every command once, in
// an order that turns from round to round, and times it from its start until it has been
// reaped. Writes the raw rounds to standard output: a line of the commands' names, then one
// line a round, one column a command, in milliseconds, all separated by tabs. The
// statistics are bench/report.py's.
//
//     race ROUNDS NAME=COMMAND...
//
// COMMAND is split at spaces. A NAME that ends in @N gets N generated arguments of ten bytes
// added to its command, one that ends in @NxBYTES N of BYTES bytes each; generated arguments
// need no quoting. The commands read from and write to /dev/null; one that fails stops the
// race.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

namespace {

struct Contender {
    std::string name;
    std::vector<std::string> words;
    std::vector<char*> argv;
};

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double timeOnce(Contender& contender, posix_spawn_file_actions_t* quiet)
{
    const double start = now();
    pid_t child;
    const int error =
        posix_spawn(&child, contender.argv[0], quiet, nullptr, contender.argv.data(), environ);
    if (error != 0) {
        std::fprintf(stderr, "race: cannot start %s: %s\n", contender.name.c_str(), std::strerror(error));
        std::exit(2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double elapsed = now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "race: %s failed (status %d)\n", contender.name.c_str(), status);
        std::exit(2);
    }
    return elapsed;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fputs("usage: race ROUNDS NAME=COMMAND...\n", stderr);
        return 2;
    }
    const int rounds = std::atoi(argv[1]);

    // A hundred thousand arguments need more room than the default stack limit leaves them.
    rlimit stack;
    getrlimit(RLIMIT_STACK, &stack);
    const rlim_t wanted = 256ul << 20;
    if (stack.rlim_cur != RLIM_INFINITY && stack.rlim_cur < wanted &&
        (stack.rlim_max == RLIM_INFINITY || stack.rlim_max >= wanted)) {
        stack.rlim_cur = wanted;
        setrlimit(RLIMIT_STACK, &stack);
    }

    std::vector<Contender> contenders;
    for (int i = 2; i < argc; ++i) {
        Contender c;
        const char* equals = std::strchr(argv[i], '=');
        if (equals == nullptr) return 2;
        c.name.assign(argv[i], static_cast<std::size_t>(equals - argv[i]));
        const std::size_t at = c.name.rfind('@');
        const long count = at == std::string::npos ? 0 : std::atol(c.name.c_str() + at + 1);
        const std::size_t times = at == std::string::npos ? std::string::npos : c.name.find('x', at);
        const std::size_t bytes = times == std::string::npos ? 10 : std::strtoul(c.name.c_str() + times + 1, nullptr, 10);
        std::string word;
        for (const char* at = equals + 1;; ++at) {
            if (*at == ' ' || *at == '\0') {
                if (!word.empty()) c.words.push_back(word);
                word.clear();
                if (*at == '\0') break;
            } else {
                word += *at;
            }
        }
        char generated[24];
        for (long n = 0; n < count; ++n) {
            std::snprintf(generated, sizeof generated, "a%09ld", n);
            std::string& argument = c.words.emplace_back(generated);
            argument.resize(bytes, 'x');
        }
        for (std::string& w : c.words) c.argv.push_back(w.data());
        c.argv.push_back(nullptr);
        contenders.push_back(std::move(c));
    }

    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);

    const std::size_t n = contenders.size();
    for (std::size_t i = 0; i < n; ++i) std::printf(i + 1 < n ? "%s\t" : "%s\n", contenders[i].name.c_str());
    const int warmup = rounds / 20 > 3 ? rounds / 20 : 3;
    std::vector<double> round(n);
    for (int r = -warmup; r < rounds; ++r) {
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = (k + static_cast<std::size_t>(r + warmup)) % n;
            round[i] = timeOnce(contenders[i], &quiet);
        }
        if (r < 0) continue;
        for (std::size_t i = 0; i < n; ++i) std::printf(i + 1 < n ? "%.4f\t" : "%.4f\n", round[i]);
    }
    return std::fflush(stdout) == 0 ? 0 : 2;
}
