#pragma once

// Everything the launcher says, in UTF-8. Terminals of POSIX systems read it as it is. On
// Windows it goes to a console as characters, whatever the console's code page, and to a
// file or pipe as GBK (code page 936), the bytes that whatever captures the launcher's
// output has always read. Where a text is a printf format, its comment names what fills it.

#ifdef _WIN32
#define PIMBREL_COMMAND "Pimbrel.exe"
#else
#define PIMBREL_COMMAND "pimbrel"
#endif

struct Texts {
    const char* banner;       // the console title, and the first line of the usage
    const char* usage;
    const char* running;      // before the command line, which an empty line follows
    const char* report;       // the exit code, the same bits in hex, the seconds
    const char* prompt;
    const char* cannotStart;  // the system's reason
    const char* noMemory;
};

inline constexpr Texts texts = {
    "Tavrune IDE 程序运行插件 - Oltmera 出品",
    "用法: " PIMBREL_COMMAND " <EXE 路径> <参数 ...>",
    "正在运行:",
    "\n进程退出返回值 %d (0x%X)   运行时间 : %0.3f 秒",
    "\n按任意键继续...\n",
    "无法启动: %s\n",
    "无法分配命令行: 内存不足\n",
};
