// The Windows texts are GBK bytes and the POSIX texts UTF-8: they must say the same thing.

#include <cerrno>
#include <string>
#include <utility>

#include <iconv.h>

#include <gtest/gtest.h>

#include "texts.h"

namespace {

std::string toGbk(std::string utf8)
{
    iconv_t convert = iconv_open("GBK", "UTF-8");
    std::string gbk(utf8.size() * 2, '\0');
    char* in = utf8.data();
    char* out = gbk.data();
    std::size_t inLeft = utf8.size(), outLeft = gbk.size();
    EXPECT_NE(iconv(convert, &in, &inLeft, &out, &outLeft), static_cast<std::size_t>(-1)) << utf8;
    iconv_close(convert);
    gbk.resize(gbk.size() - outLeft);
    return gbk;
}

TEST(Texts, EachGbkTextIsTheGbkEncodingOfItsUtf8Twin)
{
    const std::pair<const char*, const char*> twins[] = {
        {gbkTexts.banner, utf8Texts.banner},
        {gbkTexts.running, utf8Texts.running},
        {gbkTexts.report, utf8Texts.report},
        {gbkTexts.prompt, utf8Texts.prompt},
        {gbkTexts.cannotStart, utf8Texts.cannotStart},
        {gbkTexts.noMemory, utf8Texts.noMemory},
    };
    for (const auto& [gbk, utf8] : twins) EXPECT_EQ(gbk, toGbk(utf8)) << utf8;

    // The usage names the program as it is called on each system.
    std::string usage = utf8Texts.usage;
    usage.replace(usage.find("pimbrel"), 7, "Pimbrel.exe");
    EXPECT_EQ(gbkTexts.usage, toGbk(usage));
}

}  // namespace
