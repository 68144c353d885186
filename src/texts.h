#pragma once

// Everything the launcher says. Windows consoles of its users read code page 936, so
// there the texts are GBK bytes; the terminals of other systems read UTF-8. The two sets
// say the same thing, byte for byte once encoded, and the tests hold them to it.
// Where a text is a printf format, its comment names what fills it.

struct Texts {
    const char* banner;       // the console title, and the first line of the usage
    const char* usage;
    const char* running;      // the command line
    const char* report;       // the exit code, the same bits in hex, the seconds
    const char* prompt;
    const char* cannotStart;  // the system's reason
    const char* noMemory;
};

inline constexpr Texts gbkTexts = {
    "Tavrune IDE \xb3\xcc\xd0\xf2\xd4\xcb\xd0\xd0\xb2\xe5\xbc\xfe - Oltmera \xb3\xf6\xc6\xb7",
    "\xd3\xc3\xb7\xa8: Pimbrel.exe <EXE \xc2\xb7\xbe\xb6> <\xb2\xce\xca\xfd ...>",
    "\xd5\xfd\xd4\xda\xd4\xcb\xd0\xd0:%s\n\n",
    "\n\xbd\xf8\xb3\xcc\xcd\xcb\xb3\xf6\xb7\xb5\xbb\xd8\xd6\xb5 %d (0x%X)   "
    "\xd4\xcb\xd0\xd0\xca\xb1\xbc\xe4 : %0.3f \xc3\xeb",
    "\n\xb0\xb4\xc8\xce\xd2\xe2\xbc\xfc\xbc\xcc\xd0\xf8...",
    "\xce\xde\xb7\xa8\xc6\xf4\xb6\xaf: %s\n",
    "\xce\xde\xb7\xa8\xb7\xd6\xc5\xe4\xc3\xfc\xc1\xee\xd0\xd0: \xc4\xda\xb4\xe6\xb2\xbb\xd7\xe3\n",
};

inline constexpr Texts utf8Texts = {
    "Tavrune IDE 程序运行插件 - Oltmera 出品",
    "用法: pimbrel <EXE 路径> <参数 ...>",
    "正在运行:%s\n\n",
    "\n进程退出返回值 %d (0x%X)   运行时间 : %0.3f 秒",
    "\n按任意键继续...",
    "无法启动: %s\n",
    "无法分配命令行: 内存不足\n",
};

#ifdef _WIN32
inline constexpr const Texts& texts = gbkTexts;
#else
inline constexpr const Texts& texts = utf8Texts;
#endif
