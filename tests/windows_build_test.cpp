// The Windows builds are console programs that run on a bare Windows: nothing imported but
// the system's own DLLs, the compiler's runtime linked in, however the build was configured;
// their properties show the version.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string objdumpHeaders(const std::string& file)
{
    std::string text;
    FILE* const pipe = popen(("objdump -p '" + file + "' 2>&1").c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << text;
    return text;
}

std::string utf16(const std::string& ascii)
{
    std::string text;
    for (char c : ascii) text += {c, '\0'};
    return text;
}

// The value of a string in the exe's version resource, or "" when there is none.
std::string versionString(const std::string& exe, const std::string& name)
{
    std::ifstream file(exe, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::size_t at = bytes.find(utf16(name) + std::string(2, '\0'));
    if (at == std::string::npos) return "";
    at += 2 * name.size() + 2;
    while (at < bytes.size() && bytes[at] == '\0') ++at;  // the padding before the value
    std::string value;
    for (; at + 1 < bytes.size() && bytes[at] != '\0'; at += 2) value += bytes[at];
    return value;
}

TEST(WindowsBuild, IsAConsoleProgramImportingOnlySystemDllsWithItsVersion)
{
    struct Case {
        const char* exe;
        const char* format;
        const char* magic;  // the optional header's
    };
    const Case cases[] = {
        {WINDOWS_X86_EXE, "file format pei-i386", "Magic\t\t\t010b\t(PE32)\n"},
        {WINDOWS_X64_EXE, "file format pei-x86-64", "Magic\t\t\t020b\t(PE32+)\n"},
        {WINDOWS_PLAIN_EXE, "file format pei-i386", "Magic\t\t\t010b\t(PE32)\n"},
    };
    const std::set<std::string> systemDlls = {"KERNEL32.dll", "msvcrt.dll"};
    for (const Case& c : cases) {
        const std::string headers = objdumpHeaders(c.exe);
        EXPECT_NE(headers.find(c.format), std::string::npos) << c.exe << "\n" << headers;
        EXPECT_NE(headers.find(c.magic), std::string::npos) << c.exe;
        EXPECT_NE(headers.find("Subsystem\t\t00000003\t(Windows CUI)"), std::string::npos) << c.exe;

        std::set<std::string> imported;
        const std::string label = "DLL Name: ";
        for (std::size_t at = headers.find(label); at != std::string::npos; at = headers.find(label, at)) {
            at += label.size();
            imported.insert(headers.substr(at, headers.find('\n', at) - at));
        }
        EXPECT_TRUE(imported.contains("KERNEL32.dll")) << c.exe;
        EXPECT_EQ(versionString(c.exe, "ProductName"), "Pimbrel") << c.exe;
        EXPECT_EQ(versionString(c.exe, "ProductVersion"), PIMBREL_VERSION) << c.exe;
        EXPECT_EQ(versionString(c.exe, "FileVersion"), PIMBREL_VERSION) << c.exe;
        for (const std::string& dll : imported) EXPECT_TRUE(systemDlls.contains(dll)) << c.exe << " imports " << dll;
    }
}

}  // namespace
