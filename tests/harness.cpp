#include "harness.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

extern char** environ;

namespace {

void readBoth(int outPipe, int errPipe, std::string& out, std::string& err)
{
    pollfd fds[] = {{outPipe, POLLIN, 0}, {errPipe, POLLIN, 0}};
    std::string* sinks[] = {&out, &err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) continue;
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

std::string helper(const std::string& name) { return std::string(HELPER_DIR "/") + name; }

std::string shown(const std::string& utf8) { return utf8; }

Outcome runLauncher(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words{PIMBREL_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int outPipe[2], errPipe[2];
    EXPECT_EQ(pipe2(outPipe, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);  // no controlling terminal

    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    EXPECT_EQ(error, 0) << "cannot start " << argv[0];
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(outPipe[1]);
    close(errPipe[1]);

    Outcome run{};
    readBoth(outPipe[0], errPipe[0], run.out, run.err);
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    run.status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    return run;
}

std::string withoutTime(const std::string& out)
{
    const std::string seconds = shown(" 秒");
    const std::size_t end = out.rfind(seconds);
    if (end == std::string::npos) {
        ADD_FAILURE() << "no run time in:\n" << out;
        return out;
    }
    std::size_t begin = end;
    while (begin > 0 && (std::isdigit(static_cast<unsigned char>(out[begin - 1])) || out[begin - 1] == '.')) {
        --begin;
    }
    const std::string_view figure(out.data() + begin, end - begin);
    const std::size_t point = figure.find('.');
    EXPECT_TRUE(point != std::string_view::npos && point > 0 && figure.size() - point == 4)
        << "run time '" << figure << "' is not seconds with three decimals";
    return out.substr(0, begin) + "<t>" + out.substr(end);
}

std::vector<std::string> receivedArguments(const std::string& out)
{
    // The child's lines stand last before the report; the command line above them may hold
    // any byte, so read upwards from the report.
    std::string_view rest(out.data(), out.rfind(shown("\n进程退出返回值")));
    std::vector<std::string> arguments;
    while (!rest.empty()) {
        const std::size_t start = rest.rfind('\n', rest.size() - 2) + 1;
        std::string_view line = rest.substr(start);
        rest = rest.substr(0, start);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line.substr(0, 4) != "arg:") break;
        std::string argument;
        for (std::size_t at = 4; at + 1 < line.size(); at += 2) {
            argument += static_cast<char>(std::stoi(std::string(line.substr(at, 2)), nullptr, 16));
        }
        arguments.push_back(argument);
    }
    return {arguments.rbegin(), arguments.rend()};
}
