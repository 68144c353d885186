#include "harness.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <iconv.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

std::string convert(const std::string& text, const char* from, const char* to)
{
    iconv_t converter = iconv_open(to, from);
    std::string input = text, output(text.size() * 4 + 4, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size(), outLeft = output.size();
    while (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
        // A character the target lacks is a '?', as Windows writes it.
        const bool lacking = errno == EILSEQ && std::string_view(to) == "GBK";
        EXPECT_TRUE(lacking) << "'" << text << "' has no " << to << " form";
        if (!lacking) break;
        std::size_t length = 1;
        while (length < inLeft && (static_cast<unsigned char>(in[length]) & 0xC0) == 0x80) ++length;
        in += length, inLeft -= length;
        *out++ = '?', --outLeft;
    }
    iconv_close(converter);
    output.resize(output.size() - outLeft);
    return output;
}

// Wine hands a Windows program its Unix arguments decoded in the locale's charset, UTF-8,
// and a narrow child gets them in the ANSI code page: arguments written in it go out as
// their characters.
std::string sent(const std::string& bytes, const Locale& locale)
{
    return onWindows ? convert(bytes, locale.codePage, "UTF-8") : bytes;
}

std::vector<char*> pointers(Words& words)
{
    std::vector<char*> list;
    for (std::string& word : words) list.push_back(word.data());
    list.push_back(nullptr);
    return list;
}

Words launcherEnvironment(const Locale& locale)
{
    Words environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::strcspn(*entry, "="));
        // The verdict must not depend on the caller's locale, nor wine's on a display.
        if (name.starts_with("LC_") || name == "LANG" || name == "LANGUAGE" || name == "DISPLAY" ||
            name.starts_with("WINE") || name == "TERM") {
            continue;
        }
        environment.emplace_back(*entry);
    }
    environment.push_back(std::string("LC_ALL=") + locale.name);
    // Whatever terminal runs the suite, if any: the one the tests play is an xterm.
    environment.push_back("TERM=xterm");
    environment.push_back("WINEPREFIX=" WINE_PREFIX);
    environment.push_back("WINEDEBUG=-all");
    environment.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    return environment;
}

}  // namespace

const std::string executableSuffix = onWindows ? ".exe" : "";
const std::string usageName = onWindows ? "Pimbrel.exe" : "pimbrel";

std::string launcherName(const std::filesystem::path& file)
{
    if (!onWindows) return file.string();
    std::string name = "Z:" + std::filesystem::absolute(file).string();
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::filesystem::path helperFile(const std::string& name)
{
    return std::filesystem::path(HELPER_DIR) / (name + executableSuffix);
}

std::string helper(const std::string& name) { return launcherName(helperFile(name)); }

std::string written(const std::string& bytes)
{
    if (!onWindows) return bytes;
    std::string text;
    for (char c : bytes) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

std::string shown(const std::string& utf8)
{
    return onWindows ? written(convert(utf8, "UTF-8", "GBK")) : utf8;
}

const std::string textChild = onWindows ? "print_wargs" : "print_args";

std::string unitsOf(const std::string& utf8) { return onWindows ? convert(utf8, "UTF-8", "UTF-16LE") : utf8; }

namespace {

// Sets up one standard stream of a child about to exec; one to be closed is left for later,
// so that no descriptor made here takes its place.
void setUp(int fd, const Stream& stream)
{
    int ends[2], source = -1;
    if (stream.kind == Stream::file) {
        source = open(stream.text.c_str(), fd == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0644);
    } else if (stream.kind == Stream::pipe || stream.kind == Stream::brokenPipe) {
        if (pipe(ends) != 0) _exit(121);
        source = ends[fd == 0 ? 0 : 1];
        const int other = ends[fd == 0 ? 1 : 0];
        if (fd == 0) (void)!write(other, stream.text.data(), stream.text.size());
        // The reader of a pipe nobody reads stays open, in the program exec'd.
        if (fd == 0 || stream.kind == Stream::brokenPipe) close(other);
    } else {
        return;
    }
    if (source < 0 || dup2(source, fd) < 0) _exit(121);
    close(source);
}

}  // namespace

void exec(Words words, const Locale& locale, const Streams& streams, const std::function<void()>& inChild)
{
    // Made before the hook, which may set a memory limit.
    std::vector<char*> argv = pointers(words);
    Words environment = launcherEnvironment(locale);
    std::vector<char*> envp = pointers(environment);
    close_range(3, ~0U, 0);
    const Stream* each[] = {&streams.in, &streams.out, &streams.err};
    for (int fd = 0; fd < 3; ++fd) setUp(fd, *each[fd]);
    for (int fd = 0; fd < 3; ++fd) {
        if (each[fd]->kind == Stream::closed) close(fd);
    }
    environ = envp.data();  // which the hook may change too
    if (inChild) inChild();
    execve(argv[0], argv.data(), environ);
    _exit(120);
}

std::string launcherFile = PIMBREL_PATH;

Words launcher(const Words& arguments, const Locale& locale)
{
    Words words = onWindows ? Words{WINE, launcherFile} : Words{launcherFile};
    for (const std::string& argument : arguments) words.push_back(sent(argument, locale));
    return words;
}

int reap(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

Launch::Launch(const Words& arguments, const Streams& streams, const Locale& locale,
               const std::function<void()>& inChild)
{
    const Words command = launcher(arguments, locale);
    int outPipe[2], errPipe[2];
    EXPECT_EQ(pipe(outPipe), 0);
    EXPECT_EQ(pipe(errPipe), 0);
    pid = fork();
    if (pid == 0) {
        setsid();  // no controlling terminal
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        exec(command, locale, streams, inChild);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
}

Launch::~Launch()
{
    if (pid > 0 && !ended_) kill(pid, SIGKILL), reap(pid);
    close(out_);
    close(err_);
}

bool Launch::waitFor(const std::string& text)
{
    while (out.find(text) == std::string::npos) {
        if (out_ < 0 || !readSome()) return false;
    }
    return true;
}

int Launch::end()
{
    while (readSome()) {
    }
    ended_ = true;
    return reap(pid);
}

// Reads what comes on either output, whichever comes first; false once both have ended.
bool Launch::readSome()
{
    if (out_ < 0 && err_ < 0) return false;
    int* fds[] = {&out_, &err_};
    std::string* sinks[] = {&out, &err};
    pollfd ready[] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (poll(ready, 2, -1) < 0) return true;
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
        if (ready[i].revents == 0) continue;
        const ssize_t got = read(*fds[i], buffer, sizeof buffer);
        if (got > 0) sinks[i]->append(buffer, static_cast<std::size_t>(got));
        else close(*fds[i]), *fds[i] = -1;
    }
    return true;
}

Outcome runLauncher(const Words& arguments, const Locale& locale)
{
    for (int again = 0;; ++again) {
        Launch launch(arguments, {}, locale);
        const int status = launch.end();
        // Now and then wine fails to start a process at all, before the launcher runs: it
        // ends with 1 and says nothing. The launcher always says something, so that is no
        // verdict on it: run it again, a few times at most.
        if (!onWindows || again == 3 || status != 1 || !launch.out.empty() || !launch.err.empty()) {
            return {std::move(launch.out), std::move(launch.err), status};
        }
    }
}

namespace {

// Reads a figure with so many decimals and the unit after it, and steps over both; -1 when
// the text holds no such figure there.
double figureAt(const std::string& text, std::size_t& at, std::size_t decimals, const std::string& unit)
{
    std::size_t end = at;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) ++end;
    const std::string figure = text.substr(at, end - at);
    const std::size_t point = figure.find('.');
    if (point == 0 || point == std::string::npos || figure.size() - point - 1 != decimals ||
        text.compare(end, unit.size(), unit) != 0) {
        ADD_FAILURE() << "'" << text.substr(at) << "' is no figure with " << decimals << " decimals and" << unit;
        return -1;
    }
    at = end + unit.size();
    return std::stod(figure);
}

}  // namespace

namespace {

// Where the run time stands in the report line, and where it ends; npos when it is not there.
std::size_t runTimeAt(const std::string& out, std::size_t& end, double& figure)
{
    const std::string label = shown("运行时间 : "), seconds = shown(" 秒");
    const std::size_t start = out.rfind(label);
    if (start == std::string::npos) {
        ADD_FAILURE() << "no run time in:\n" << out;
        return start;
    }
    end = start + label.size();
    figure = figureAt(out, end, 3, seconds);
    end -= seconds.size();
    return start + label.size();
}

}  // namespace

std::string withoutTime(const std::string& out)
{
    std::size_t end = 0;
    double figure = 0;
    const std::size_t at = runTimeAt(out, end, figure);
    return at == std::string::npos ? out : out.substr(0, at) + "<t>" + out.substr(end);
}

double runTimeIn(const std::string& out)
{
    std::size_t end = 0;
    double figure = -1;
    runTimeAt(out, end, figure);
    return figure;
}

Cost costIn(const std::string& err)
{
    // Standard error is no file of standard output's here: whole lines, the cost the last.
    const std::string end = written("\n"), cpu = shown("CPU 时间 : "), memory = shown("内存峰值 : "),
                      both = shown("   内存峰值 : ");
    Cost cost;
    if (!err.ends_with(end)) {
        ADD_FAILURE() << "standard error does not end with a whole line:\n" << err;
        return cost;
    }
    const std::size_t last = err.rfind(end, err.size() - end.size() - 1);
    const std::size_t start = last == std::string::npos ? 0 : last + end.size();
    std::size_t at = start;
    if (err.compare(at, cpu.size(), cpu) == 0) {
        at += cpu.size();
        cost.cpuSeconds = figureAt(err, at, 3, shown(" 秒"));
        if (err.compare(at, both.size(), both) == 0) {
            at += both.size();
            cost.peakMegabytes = figureAt(err, at, 1, " MB");
        }
    } else if (err.compare(at, memory.size(), memory) == 0) {
        at += memory.size();
        cost.peakMegabytes = figureAt(err, at, 1, " MB");
    } else {
        ADD_FAILURE() << "no cost of the run in:\n" << err;
        return cost;
    }
    EXPECT_EQ(at + end.size(), err.size()) << "the cost is not the last line:\n" << err;
    cost.before = err.substr(0, start);
    EXPECT_FALSE(cost.before.starts_with(end)) << "standard error starts with an empty line:\n" << err;
    return cost;
}

Words receivedArguments(const std::string& out)
{
    // The child's lines stand last before the report; the command line above them may hold
    // any byte, so read upwards from the report.
    std::string_view rest(out.data(), out.rfind(shown("\n进程退出返回值")));
    Words arguments;
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
