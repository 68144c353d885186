#pragma once

// Everything the launcher says, in UTF-8. Terminals of POSIX systems read it as it is. On
// Windows it goes to a console as characters, whatever the console's code page, and to a
// file or pipe as GBK (code page 936), the bytes that whatever captures the launcher's
// output has always read. Where a text is a printf format, its comment names what fills it.

#include <cstdint>

#ifdef _WIN32
#define PIMBREL_COMMAND "Pimbrel.exe"
#define PIMBREL_EXAMPLE "a.exe < sample.txt"
#else
#define PIMBREL_COMMAND "pimbrel"
#define PIMBREL_EXAMPLE "./a.out < sample.txt"
#endif

// What a signal's end makes of the exit status, where there are signals.
#ifdef _WIN32
#define PIMBREL_SIGNAL_STATUS ""
#else
#define PIMBREL_SIGNAL_STATUS "  128+N  程序被信号 N 终止\n"
#endif

struct Texts {
    const char* banner;       // the console title, and the first line of the usage
    const char* usage;
    const char* options;      // what --help adds to the usage: the options, the variables,
    const char* statuses;     // the exit statuses
    const char* version;
    const char* badValue;       // the option's or variable's name, the value given
    const char* unknownOption;  // the option given
    const char* running;      // before the command line, which an empty line follows
    const char* report;       // the exit code, the same bits in hex, the seconds
    const char* prompt;
    const char* cannotStart;  // the system's reason
    const char* tooLong;      // the command line's length and the most the system takes, in characters
    const char* refusedForBatch;  // the argument's number, what it holds
    const char* carriageReturn;   // what it holds, when it is a line break
    const char* lineFeed;
    const char* noMemory;
    const char* cannotWait;   // the system's reason

    // How a child ended that did not end normally, and what its run cost: each a line of
    // its own after the report.
    const char* killedBy;          // the signal's number and name, then its words or none
    const char* killedByUnnamed;   // the number of a signal the system has no name for
    const char* words;             // what they mean
    const char* coreDumped;
    const char* crashed;           // the status's words and name
    const char* crashedUnknown;    // the status, of 0xC0000000 or above
    const char* cost;              // the CPU seconds, the peak megabytes
    const char* cpuTime;           // the CPU seconds, where the peak memory is not known
    const char* peakMemory;        // the peak megabytes, where the CPU time is not known

    // A run past a limit, said as a judge says it, in place of how it ended.
    const char* overTime;          // the limit in seconds
    const char* overMemory;        // the limit in megabytes
    const char* cannotMeasure;     // while it runs: the memory limit cannot be kept
};

inline constexpr Texts texts = {
    "Tavrune IDE 程序运行插件 - Oltmera 出品",
    "用法: " PIMBREL_COMMAND " <EXE 路径> <参数 ...>",
    "\n选项 (写在程序之前):\n"
    "  --time-limit=秒数      运行时间超过它就结束程序 (及其启动的程序)，如 1 或 0.5\n"
    "  --memory-limit=MB      内存峰值超过它就结束程序，1 MB 为 1048576 字节\n"
    "  --                     选项到此为止，其后是程序\n"
    "  --help                 显示本帮助\n"
    "  --version              显示版本\n"
    "\n环境变量 (用于无法改动命令行的 IDE，选项优先):\n"
    "  PIMBREL_TIME_LIMIT     同 --time-limit\n"
    "  PIMBREL_MEMORY_LIMIT   同 --memory-limit\n"
    "\n例: " PIMBREL_COMMAND " --time-limit=1 --memory-limit=256 " PIMBREL_EXAMPLE "\n",
    "\n退出状态: 程序的退出返回值，除非\n"
    "  1      没有指定程序\n"
    "  124    超出时间限制或内存限制\n"
    "  125    用法错误，或启动器自身出错 (如内存不足)\n"
    "  126    程序无法启动\n"
    "  127    找不到程序\n" PIMBREL_SIGNAL_STATUS,
    "pimbrel " PIMBREL_VERSION "\n",
    PIMBREL_COMMAND ": %s 的值无效: \"%s\" (应为正数，如 1 或 0.5)\n",
    PIMBREL_COMMAND ": 未知的选项: %s (见 " PIMBREL_COMMAND " --help)\n",
    "正在运行:",
    "\n进程退出返回值 %d (0x%X)   运行时间 : %0.3f 秒",
    "\n按任意键继续...\n",
    "无法启动: %s\n",
    "命令行过长 (%u 个字符，最多 %u 个)",
    "无法安全地把参数 %d 传给批处理文件: 含有 %s",
    "回车符",
    "换行符",
    "无法分配命令行: 内存不足\n",
    "无法等待程序结束: %s\n",

    "\n程序被信号 %d (%s) 终止",
    "\n程序被信号 %d 终止",
    ": %s",
    "，已生成核心转储",
    "\n程序异常终止: %s (%s)",
    "\n程序异常终止 (NTSTATUS 0x%08X)",
    "\nCPU 时间 : %0.3f 秒   内存峰值 : %0.1f MB",
    "\nCPU 时间 : %0.3f 秒",
    "\n内存峰值 : %0.1f MB",

    "\n超出时间限制: 运行时间超过 %0.3f 秒",
    "\n超出内存限制: 内存峰值超过 %0.1f MB",
    "无法测量内存峰值: 内存限制未生效\n",
};

// What a signal that ended a child means, for those a learner meets.
struct SignalWords {
    const char* name;
    const char* words;
};

inline constexpr SignalWords signalWords[] = {
    {"SIGSEGV", "段错误，非法的内存访问"},
    {"SIGBUS", "总线错误，非法的内存访问"},
    {"SIGABRT", "程序调用 abort 中止 (如断言失败或未捕获的异常)"},
    {"SIGFPE", "算术错误 (如整数除以零)"},
    {"SIGILL", "非法指令"},
    {"SIGTRAP", "断点或跟踪陷阱"},
    {"SIGKILL", "被强制结束 (如内存不足时被系统结束)"},
    {"SIGTERM", "被请求结束"},
    {"SIGINT", "被 Ctrl-C 中断"},
    {"SIGQUIT", "被 Ctrl-\\ 中断"},
    {"SIGHUP", "终端已断开"},
    {"SIGPIPE", "向已无人读取的管道写入"},
    {"SIGXCPU", "超出 CPU 时间限制"},
    {"SIGXFSZ", "超出文件大小限制"},
    {"SIGSYS", "非法的系统调用"},
};

// What an exit status of Windows that is no program's own choice means.
struct StatusWords {
    std::uint32_t status;
    const char* name;
    const char* words;
};

inline constexpr StatusWords statusWords[] = {
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
    {0xC000007B, "STATUS_INVALID_IMAGE_FORMAT", "程序或 DLL 的格式不对 (如 32 位与 64 位混用)"},
    {0xC0000142, "STATUS_DLL_INIT_FAILED", "DLL 初始化失败"},
    {0xC0000017, "STATUS_NO_MEMORY", "内存不足"},
};
