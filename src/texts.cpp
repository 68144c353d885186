// The launcher's words, in both its languages: one table for each, written once in the exe,
// which every file that speaks reaches through texts.h.

#include "texts.h"

#include <cstddef>
#include <string_view>

#ifdef _WIN32
#define PIMBREL_COMMAND "Pimbrel.exe"
#define PIMBREL_PROGRAM "a.exe"
#else
#define PIMBREL_COMMAND "pimbrel"
#define PIMBREL_PROGRAM "./a.out"
#endif

// What a text says of a thing that only Windows has: there, and elsewhere.
#ifdef _WIN32
#define PIMBREL_ON_WINDOWS(there, elsewhere) there
#else
#define PIMBREL_ON_WINDOWS(there, elsewhere) elsewhere
#endif

// What a signal's end makes of the exit status, where there are signals.
#ifdef _WIN32
#define PIMBREL_SIGNAL_STATUS(words) ""
#else
#define PIMBREL_SIGNAL_STATUS(words) "  128+N  " words "\n"
#endif

namespace chinese {

constexpr SignalWords signals[] = {
    {"SIGSEGV", "段错误，非法的内存访问"},
    {"SIGBUS", "总线错误，非法的内存访问"},
    {"SIGABRT", "abort 中止，如断言失败、异常未捕获"},
    {"SIGFPE", "算术错误 (如整数除以零)"},
    {"SIGILL", "非法指令"},
    {"SIGTRAP", "断点或跟踪陷阱"},
    {"SIGKILL", "被强制结束 (如 kill -9 或内存不足)"},
    {"SIGTERM", "被请求结束"},
    {"SIGINT", "被 Ctrl-C 中断"},
    {"SIGQUIT", "被 Ctrl-\\ 中断"},
    {"SIGHUP", "终端已断开"},
    {"SIGPIPE", "向已无人读取的管道写入"},
    {"SIGXCPU", "超出 CPU 时间限制"},
    {"SIGXFSZ", "超出文件大小限制"},
    {"SIGSYS", "非法的系统调用"},
};

constexpr StatusWords statuses[] = {
    {0xC0000005, "STATUS_ACCESS_VIOLATION", "访问冲突，非法的内存访问"},
    {0xC00000FD, "STATUS_STACK_OVERFLOW", "栈溢出 (如递归过深)"},
    {0xC0000094, "STATUS_INTEGER_DIVIDE_BY_ZERO", "整数除以零"},
    {0xC0000095, "STATUS_INTEGER_OVERFLOW", "整数溢出"},
    {0xC000008C, "STATUS_ARRAY_BOUNDS_EXCEEDED", "数组越界"},
    {0xC000008E, "STATUS_FLOAT_DIVIDE_BY_ZERO", "浮点数除以零"},
    {0xC0000090, "STATUS_FLOAT_INVALID_OPERATION", "无效的浮点运算"},
    {0xC000001D, "STATUS_ILLEGAL_INSTRUCTION", "非法指令"},
    {0xC0000096, "STATUS_PRIVILEGED_INSTRUCTION", "特权指令"},
    {0xC0000409, "STATUS_STACK_BUFFER_OVERRUN", "栈缓冲区溢出或程序快速终止"},
    {0xC0000374, "STATUS_HEAP_CORRUPTION", "堆损坏"},
    {0xC000013A, "STATUS_CONTROL_C_EXIT", "被 Ctrl-C 中断"},
    {0x80000003, "STATUS_BREAKPOINT", "断点"},
    {0xC0000135, "STATUS_DLL_NOT_FOUND", "找不到程序需要的 DLL"},
    {0xC0000139, "STATUS_ENTRYPOINT_NOT_FOUND", "DLL 中找不到程序需要的入口点"},
    {0xC000007B, "STATUS_INVALID_IMAGE_FORMAT", "程序或 DLL 格式不对，如 32/64 位混用"},
    {0xC0000142, "STATUS_DLL_INIT_FAILED", "DLL 初始化失败"},
    {0xC0000017, "STATUS_NO_MEMORY", "内存不足"},
};

constexpr ErrorWords errors[] = {
    {"ENOENT", "找不到文件或目录"},
    {"EACCES", "没有权限"},
    {"ENOEXEC", "不是能运行的程序 (可执行文件格式错误)"},
    {"E2BIG", "参数列表过长"},
    {"ENOMEM", "内存不足"},
    {"ENOTDIR", "路径中有不是目录的部分"},
    {"ELOOP", "符号链接的层数过多"},
    {"ENAMETOOLONG", "文件名过长"},
    {"ETXTBSY", "文件正被写入，不能运行"},
    {"EISDIR", "是一个目录"},
    {"EPERM", "不允许的操作"},
    {"ENOSPC", "设备上没有空间"},
    {"EBADF", "文件已关闭"},
    {"EIO", "输入输出错误"},
};

constexpr Texts texts = {
    .banner = "Tavrune IDE 程序运行插件 - Oltmera 出品",
    .usage = "用法: " PIMBREL_COMMAND " <EXE 路径> <参数 ...>",
    .options = "\n选项 (写在程序之前):\n"
        "  --time-limit=秒数      运行超过这些秒就结束程序及其启动的程序，如 1 或 0.5\n"
        "  --memory-limit=MB      内存峰值超过这些 MB 就结束程序，1 MB 为 1048576 字节\n"
        "  --input=文件           程序的标准输入来自该文件\n"
        "  --expect=文件          把程序的输出与该文件比较，给出评测结果，如 AC、WA\n"
        "  --tests=文件夹         依次评测文件夹中的每个测试: NAME.in 为输入，\n"
        "                         NAME.out 或 NAME.ans 为答案\n"
        "  --float-error=E        逐词比较，两数之差 (或相对差) 不超过 E 即算相同\n"
        PIMBREL_ON_WINDOWS("  --utf8-console         程序在 UTF-8 (代码页 65001) 的控制台中运行:\n"
                           "                         源文件存为 UTF-8 的程序输出中文时不再乱码\n",
                           "  --utf8-console         在 Windows 上让程序在 UTF-8 控制台中运行;\n"
                           "                         这里的终端本就是 UTF-8，无需此项\n")
        "  --                     选项到此为止，其后是程序\n"
        "  -h, --help             显示本帮助\n"
        "  --version              显示版本\n"
        "\n环境变量 (用于无法改动命令行的 IDE，选项优先):\n"
        "  PIMBREL_TIME_LIMIT     同 --time-limit\n"
        "  PIMBREL_MEMORY_LIMIT   同 --memory-limit\n"
        "  PIMBREL_UTF8_CONSOLE   1: 同 --utf8-console\n"
        "  PIMBREL_TESTS          文件夹: 评测其中与程序同名的文件夹里的测试\n"
        "                         (a.out 或 a.exe 评测 文件夹/a 中的测试)\n"
        "  PIMBREL_FLOAT_ERROR    同 --float-error\n"
        "  PIMBREL_LANG           en 或 zh: 提示信息的语言\n"
        "\n例: " PIMBREL_COMMAND " --time-limit=1 --memory-limit=256 " PIMBREL_PROGRAM " < sample.txt\n"
        "    " PIMBREL_COMMAND " --input=1.in --expect=1.out " PIMBREL_PROGRAM "    (评测一个样例)\n"
        "    " PIMBREL_COMMAND " --tests=samples --time-limit=1 " PIMBREL_PROGRAM "    (评测文件夹中的每个样例)\n",
    .statuses = "\n退出状态: 程序的退出返回值，除非\n"
        "  1      没有指定程序；评测时，有测试未通过 (全部通过为 0)\n"
        "  124    超出时间限制或内存限制\n"
        "  125    用法错误，或启动器自身出错 (如内存不足)\n"
        "  126    程序无法启动\n"
        "  127    找不到程序\n" PIMBREL_SIGNAL_STATUS("程序被信号 N 终止"),
    .version = "pimbrel " PIMBREL_VERSION "\n",
    .seeHelp = "请运行 " PIMBREL_COMMAND " --help 查看选项与说明\n",
    .badValue = PIMBREL_COMMAND ": %s 的值无效: \"%s\" (应为%s)\n",
    .tooLarge = PIMBREL_COMMAND ": %s 的值过大: \"%s\" (最大为 %.0f)\n",
    .missingValue = PIMBREL_COMMAND ": 选项 %s 需要一个值 (%s)\n",
    .expectedSeconds = "正数，如 1 或 0.5",
    .expectedMegabytes = "正数，如 256",
    .expectedError = "不小于 0 的数，如 0.000001 或 1e-6",
    .expectedFile = "文件名",
    .expectedFolder = "文件夹名",
    .badSwitch = PIMBREL_COMMAND ": %s 的值无效: \"%s\" (应为 1 或 0)\n",
    .unknownOption = PIMBREL_COMMAND ": 未知的选项: %s (见 " PIMBREL_COMMAND " --help)\n",
    .badLanguage = PIMBREL_COMMAND ": PIMBREL_LANG 的值无效: \"%s\" (应为 en 或 zh)，未采用\n",
    .writeError = PIMBREL_COMMAND ": 写入错误: %s\n",

    .running = "正在运行:",
    .report = "\n进程退出返回值 %d (0x%X)   运行时间 : %0.3f 秒",
    .prompt = "\n按任意键继续...\n",
    .cannotStart = PIMBREL_COMMAND ": 无法启动 %s: %s",
    .neededFile = "找不到运行它所需的文件 (解释器或加载器)",
    .noInterpreter = "找不到它的解释器 \"%s\"",
    .windowsLineEnds = " (#! 行末有回车符: 请用 LF 换行保存文件)",
    .inCurrentFolder = " (要运行当前文件夹中的它: ./%s)",
    .tooLong = "命令行过长 (%u 个字符，最多 %u 个)",
    .tooLongForBatch = "命令行过长 (%u 个字符，批处理文件最多 %u 个)",
    .refusedForBatch = PIMBREL_COMMAND ": 无法安全地把参数 %d 传给批处理文件: 含有 %s",
    .refusedBatchPath = PIMBREL_COMMAND ": 无法安全地运行批处理文件 %s: 它的路径含有 \"%%\"",
    .carriageReturn = "回车符",
    .lineFeed = "换行符",
    .noMemory = PIMBREL_COMMAND ": 无法分配命令行: 内存不足\n",
    .cannotWait = PIMBREL_COMMAND ": 无法等待程序结束: %s\n",

    .killedBy = "程序被信号 %d (%s) 终止",
    .killedByUnnamed = "程序被信号 %d 终止",
    .words = ": %s",
    .coreDumped = "，已生成核心转储",
    .crashed = "程序异常终止: %s (%s)",
    .crashedUnknown = "程序异常终止 (NTSTATUS 0x%08X)",
    .cost = "CPU 时间 : %0.3f 秒   内存峰值 : %0.1f MB",
    .cpuTime = "CPU 时间 : %0.3f 秒",
    .peakMemory = "内存峰值 : %0.1f MB",

    .endedAtTime = "超出时间限制: 运行到限制的 %.*f 秒时被结束",
    .overTime = "超出时间限制: 运行时间超过 %.*f 秒",
    .endedAtMemory = "超出内存限制: 内存超过限制的 %.*f MB 时被结束",
    .overMemory = "超出内存限制: 内存峰值超过 %.*f MB",
    .cannotMeasure = "无法测量内存峰值: 内存限制未生效",

    .cannotRead = PIMBREL_COMMAND ": 无法读取 %s: %s\n",
    .noCases = PIMBREL_COMMAND ": %s 中没有测试 (NAME.in，答案为 NAME.out 或 NAME.ans)\n",
    .together = PIMBREL_COMMAND ": %s 与 %s 不能同时使用\n",
    .caseStarts = "\n测试 %s\n",
    .caseName = "测试 %s:",
    .caseTime = "   运行时间 : %0.3f 秒",
    .caseMemory = "   内存峰值 : %0.1f MB",
    .accepted = "答案正确",
    .wrongAnswer = "答案错误",
    .runtimeError = "运行错误",
    .timeLimitExceeded = "超出时间限制",
    .memoryLimitExceeded = "超出内存限制",
    .lineDiffers = ": 第 %ld 行不同\n  应为: %s\n  实为: %s",
    .endedEarly = ": 输出在第 %ld 行提前结束",
    .wentOn = ": 输出在第 %ld 行超出了答案",
    .passed = "通过 %d/%d",

    .signalWords = signals,
    .statusWords = statuses,
    .errorWords = errors,
};

}  // namespace chinese

namespace english {

constexpr SignalWords signals[] = {
    {"SIGSEGV", "segfault, an invalid memory access"},
    {"SIGBUS", "bus error, an invalid memory access"},
    {"SIGABRT", "abort: a failed assert or exception"},
    {"SIGFPE", "arithmetic error, as in division by 0"},
    {"SIGILL", "illegal instruction"},
    {"SIGTRAP", "breakpoint or trace trap"},
    {"SIGKILL", "killed (kill -9, or out of memory)"},
    {"SIGTERM", "asked to end"},
    {"SIGINT", "interrupted by Ctrl-C"},
    {"SIGQUIT", "interrupted by Ctrl-\\"},
    {"SIGHUP", "the terminal hung up"},
    {"SIGPIPE", "wrote to a pipe that nobody reads"},
    {"SIGXCPU", "CPU time limit exceeded"},
    {"SIGXFSZ", "file size limit exceeded"},
    {"SIGSYS", "bad system call"},
};

constexpr StatusWords statuses[] = {
    {0xC0000005, "STATUS_ACCESS_VIOLATION", "access violation, an invalid memory access"},
    {0xC00000FD, "STATUS_STACK_OVERFLOW", "stack overflow, as from too deep a recursion"},
    {0xC0000094, "STATUS_INTEGER_DIVIDE_BY_ZERO", "integer division by zero"},
    {0xC0000095, "STATUS_INTEGER_OVERFLOW", "integer overflow"},
    {0xC000008C, "STATUS_ARRAY_BOUNDS_EXCEEDED", "array index out of bounds"},
    {0xC000008E, "STATUS_FLOAT_DIVIDE_BY_ZERO", "floating-point division by zero"},
    {0xC0000090, "STATUS_FLOAT_INVALID_OPERATION", "invalid floating-point operation"},
    {0xC000001D, "STATUS_ILLEGAL_INSTRUCTION", "illegal instruction"},
    {0xC0000096, "STATUS_PRIVILEGED_INSTRUCTION", "privileged instruction"},
    {0xC0000409, "STATUS_STACK_BUFFER_OVERRUN", "stack buffer overrun, or a fail-fast exit"},
    {0xC0000374, "STATUS_HEAP_CORRUPTION", "heap corruption"},
    {0xC000013A, "STATUS_CONTROL_C_EXIT", "interrupted by Ctrl-C"},
    {0x80000003, "STATUS_BREAKPOINT", "breakpoint"},
    {0xC0000135, "STATUS_DLL_NOT_FOUND", "a DLL the program needs was not found"},
    {0xC0000139, "STATUS_ENTRYPOINT_NOT_FOUND", "a DLL lacks a function the program needs"},
    {0xC000007B, "STATUS_INVALID_IMAGE_FORMAT", "wrong program or DLL format (32/64-bit?)"},
    {0xC0000142, "STATUS_DLL_INIT_FAILED", "a DLL failed to initialise"},
    {0xC0000017, "STATUS_NO_MEMORY", "out of memory"},
};

constexpr ErrorWords errors[] = {
    {"ENOENT", "no such file or directory"},
    {"EACCES", "permission denied"},
    {"ENOEXEC", "not a program that can run (exec format error)"},
    {"E2BIG", "argument list too long"},
    {"ENOMEM", "out of memory"},
    {"ENOTDIR", "a part of the path is not a directory"},
    {"ELOOP", "too many levels of symbolic links"},
    {"ENAMETOOLONG", "file name too long"},
    {"ETXTBSY", "the file is being written, and cannot run"},
    {"EISDIR", "is a directory"},
    {"EPERM", "operation not permitted"},
    {"ENOSPC", "no space left on device"},
    {"EBADF", "the file is closed"},
    {"EIO", "input/output error"},
};

constexpr Texts texts = {
    .banner = "Tavrune IDE program runner - made by Oltmera",
    .usage = "Usage: " PIMBREL_COMMAND " <EXE path> <arguments ...>",
    .options = "\nOptions (before the program):\n"
        "  --time-limit=SECONDS   end the program and its children after SECONDS: 1, 0.5\n"
        "  --memory-limit=MB      end it when its peak memory passes MB, of 1048576 bytes\n"
        "  --input=FILE           the program's standard input comes from FILE\n"
        "  --expect=FILE          compare its output with FILE, and give a verdict\n"
        "  --tests=FOLDER         judge each test in FOLDER in turn: NAME.in the input,\n"
        "                         NAME.out or NAME.ans the answer\n"
        "  --float-error=E        compare words; numbers within E (or E times) are equal\n"
        PIMBREL_ON_WINDOWS("  --utf8-console         run the program on a UTF-8 console (code page 65001):\n"
                           "                         for a program that prints UTF-8 text\n",
                           "  --utf8-console         on Windows, run the program on a UTF-8 console;\n"
                           "                         terminals here are UTF-8 already: no need\n")
        "  --                     the end of the options: the program comes next\n"
        "  -h, --help             show this help\n"
        "  --version              show the version\n"
        "\nEnvironment (for an IDE whose command line cannot be changed; options win):\n"
        "  PIMBREL_TIME_LIMIT     as --time-limit\n"
        "  PIMBREL_MEMORY_LIMIT   as --memory-limit\n"
        "  PIMBREL_UTF8_CONSOLE   1: as --utf8-console\n"
        "  PIMBREL_TESTS          a folder: judge the tests in its folder named as the\n"
        "                         program (tests/a for a.out or a.exe)\n"
        "  PIMBREL_FLOAT_ERROR    as --float-error\n"
        "  PIMBREL_LANG           en or zh: the language of the messages\n"
        "\nExamples: " PIMBREL_COMMAND " --time-limit=1 --memory-limit=256 " PIMBREL_PROGRAM " < sample.txt\n"
        "          " PIMBREL_COMMAND " --input=1.in --expect=1.out " PIMBREL_PROGRAM "    (judge one sample)\n"
        "          " PIMBREL_COMMAND " --tests=samples --time-limit=1 " PIMBREL_PROGRAM "    (judge each in samples)\n",
    .statuses = "\nExit status: the program's own, unless\n"
        "  1      no program was named; judging, a test was not passed (all: 0)\n"
        "  124    the program passed its time or memory limit\n"
        "  125    a usage error, or the launcher itself failed, as for want of memory\n"
        "  126    the program could not be started\n"
        "  127    the program was not found\n" PIMBREL_SIGNAL_STATUS("the program was killed by signal N"),
    .version = "pimbrel " PIMBREL_VERSION "\n",
    .seeHelp = "Try '" PIMBREL_COMMAND " --help' for more information.\n",
    .badValue = PIMBREL_COMMAND ": invalid value for %s: \"%s\" (expected: %s)\n",
    .tooLarge = PIMBREL_COMMAND ": value too large for %s: \"%s\" (the largest is %.0f)\n",
    .missingValue = PIMBREL_COMMAND ": option %s needs a value (%s)\n",
    .expectedSeconds = "a positive number, such as 1 or 0.5",
    .expectedMegabytes = "a positive number, such as 256",
    .expectedError = "a number not below 0, such as 0.000001 or 1e-6",
    .expectedFile = "a file's name",
    .expectedFolder = "a folder's name",
    .badSwitch = PIMBREL_COMMAND ": invalid value for %s: \"%s\" (1 or 0 is expected)\n",
    .unknownOption = PIMBREL_COMMAND ": unknown option: %s (see " PIMBREL_COMMAND " --help)\n",
    .badLanguage = PIMBREL_COMMAND ": invalid value for PIMBREL_LANG: \"%s\" (en or zh is expected), not used\n",
    .writeError = PIMBREL_COMMAND ": write error: %s\n",

    .running = "Running: ",
    .report = "\nProcess exited with return value %d (0x%X)   run time: %0.3f s",
    .prompt = "\nPress any key to continue...\n",
    .cannotStart = PIMBREL_COMMAND ": cannot start %s: %s",
    .neededFile = "a file it needs is missing (its interpreter or loader)",
    .noInterpreter = "its interpreter \"%s\" is missing",
    .windowsLineEnds = " (its #! line ends in a carriage return: save it with LF line endings)",
    .inCurrentFolder = " (to run the one in this folder: ./%s)",
    .tooLong = "the command line is too long (%u characters, at most %u)",
    .tooLongForBatch = "the command line is too long (%u characters, at most %u for a batch file)",
    .refusedForBatch = PIMBREL_COMMAND ": cannot pass argument %d to a batch file safely: it holds %s",
    .refusedBatchPath = PIMBREL_COMMAND ": cannot run the batch file %s safely: its path holds \"%%\"",
    .carriageReturn = "a carriage return",
    .lineFeed = "a line feed",
    .noMemory = PIMBREL_COMMAND ": cannot allocate the command line: out of memory\n",
    .cannotWait = PIMBREL_COMMAND ": cannot wait for the program to end: %s\n",

    .killedBy = "Killed by signal %d (%s)",
    .killedByUnnamed = "Killed by signal %d",
    .words = ": %s",
    .coreDumped = ", core dumped",
    .crashed = "Crashed: %s (%s)",
    .crashedUnknown = "Crashed (NTSTATUS 0x%08X)",
    .cost = "CPU time: %0.3f s   peak memory: %0.1f MB",
    .cpuTime = "CPU time: %0.3f s",
    .peakMemory = "peak memory: %0.1f MB",

    .endedAtTime = "Time limit exceeded: ended at %.*f s, the limit",
    .overTime = "Time limit exceeded: the run took more than %.*f s",
    .endedAtMemory = "Memory limit exceeded: ended when its memory passed %.*f MB, the limit",
    .overMemory = "Memory limit exceeded: the peak memory was above %.*f MB",
    .cannotMeasure = "Cannot measure the peak memory: the memory limit was not kept",

    .cannotRead = PIMBREL_COMMAND ": cannot read %s: %s\n",
    .noCases = PIMBREL_COMMAND ": no test in %s (a test is NAME.in, with NAME.out or NAME.ans)\n",
    .together = PIMBREL_COMMAND ": %s and %s cannot be used together\n",
    .caseStarts = "\nTest %s\n",
    .caseName = "Test %s:",
    .caseTime = "   run time: %0.3f s",
    .caseMemory = "   peak memory: %0.1f MB",
    .accepted = "Accepted",
    .wrongAnswer = "Wrong answer",
    .runtimeError = "Runtime error",
    .timeLimitExceeded = "Time limit exceeded",
    .memoryLimitExceeded = "Memory limit exceeded",
    .lineDiffers = ": line %ld differs\n  expected: %s\n  received: %s",
    .endedEarly = ": the output ended early, at line %ld",
    .wentOn = ": the output went on past the expected end, at line %ld",
    .passed = "Passed %d/%d",

    .signalWords = signals,
    .statusWords = statuses,
    .errorWords = errors,
};

}  // namespace english

Texts texts = chinese::texts;

// Both languages fill each text with the same figures in the same order: a text whose
// conversions differ from its twin's is a compile error, not a garbled line at run time.
namespace texts_agree {

// The next conversion of a printf format, "%0.3f" say, from its '%' to its letter; empty at
// the end.
constexpr std::string_view nextConversion(const char*& format)
{
    for (; *format != '\0'; ++format) {
        if (*format != '%') continue;
        if (format[1] == '%') {
            ++format;
            continue;
        }
        const char* const start = format++;
        while (*format != '\0' && !(*format >= 'A' && *format <= 'Z' && *format != 'L') &&
               !(*format >= 'a' && *format <= 'z' && *format != 'l' && *format != 'h' && *format != 'z')) {
            ++format;
        }
        if (*format != '\0') ++format;
        return {start, static_cast<std::size_t>(format - start)};
    }
    return {};
}

constexpr bool sameConversions(const char* one, const char* other)
{
    for (;;) {
        const std::string_view a = nextConversion(one), b = nextConversion(other);
        if (a != b) return false;
        if (a.empty()) return true;
    }
}

template <typename Words>
constexpr bool sameNames(std::span<const Words> one, std::span<const Words> other)
{
    if (one.size() != other.size()) return false;
    for (std::size_t i = 0; i < one.size(); ++i) {
        if (std::string_view(one[i].name) != other[i].name) return false;
    }
    return true;
}

// Every text of Texts; the size check below fails when one is added and not listed here.
constexpr const char* Texts::*all[] = {
    &Texts::banner, &Texts::usage, &Texts::options, &Texts::statuses, &Texts::version, &Texts::seeHelp,
    &Texts::badValue, &Texts::tooLarge, &Texts::missingValue, &Texts::expectedSeconds,
    &Texts::expectedMegabytes, &Texts::expectedError, &Texts::expectedFile, &Texts::expectedFolder,
    &Texts::unknownOption, &Texts::badLanguage, &Texts::writeError, &Texts::running, &Texts::report, &Texts::prompt,
    &Texts::cannotStart, &Texts::neededFile, &Texts::noInterpreter, &Texts::windowsLineEnds, &Texts::inCurrentFolder,
    &Texts::tooLong, &Texts::refusedForBatch, &Texts::carriageReturn, &Texts::lineFeed,
    &Texts::badSwitch, &Texts::tooLongForBatch, &Texts::refusedBatchPath,
    &Texts::noMemory, &Texts::cannotWait, &Texts::killedBy, &Texts::killedByUnnamed, &Texts::words,
    &Texts::coreDumped, &Texts::crashed, &Texts::crashedUnknown, &Texts::cost, &Texts::cpuTime,
    &Texts::peakMemory, &Texts::endedAtTime, &Texts::overTime, &Texts::endedAtMemory, &Texts::overMemory,
    &Texts::cannotMeasure, &Texts::cannotRead, &Texts::noCases, &Texts::together, &Texts::caseStarts,
    &Texts::caseName, &Texts::caseTime, &Texts::caseMemory, &Texts::accepted, &Texts::wrongAnswer,
    &Texts::runtimeError, &Texts::timeLimitExceeded, &Texts::memoryLimitExceeded, &Texts::lineDiffers,
    &Texts::endedEarly, &Texts::wentOn, &Texts::passed,
};
static_assert(sizeof(Texts) == sizeof all / sizeof *all * sizeof(const char*) + 3 * sizeof(std::span<const int>),
              "a text of Texts is missing from texts_agree::all");

constexpr bool agree(const Texts& one, const Texts& other)
{
    for (const char* Texts::*text : all) {
        if (!sameConversions(one.*text, other.*text)) return false;
    }
    return sameNames(one.signalWords, other.signalWords) && sameNames(one.statusWords, other.statusWords) &&
           sameNames(one.errorWords, other.errorWords);
}

static_assert(agree(chinese::texts, english::texts),
              "a text's conversions, or a table's names, differ between the two languages");

}  // namespace texts_agree
