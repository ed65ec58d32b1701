#include <gtest/gtest.h>

#include "runtime/paths.h"

namespace {

TEST(DirectoryOfTest, DropsLastComponent)
{
    EXPECT_EQ(directory_of("C:\\Tools\\upd.exe"), "C:\\Tools");
    EXPECT_EQ(directory_of("C:\\upd.exe"), "C:");
    EXPECT_EQ(directory_of("upd.exe"), "upd.exe");
    EXPECT_EQ(directory_of(""), "");
    EXPECT_EQ(directory_of("\\\\server\\share\\a\\upd.exe"), "\\\\server\\share\\a");
}

TEST(DirectoryOfTest, SecondByteBackslashIsNoSeparator)
{
    // 0x81 0x5C is one GBK character whose second byte is a backslash.
    EXPECT_EQ(directory_of("C:\\d\\x\x81\\upd.exe"), "C:\\d");
    EXPECT_EQ(directory_of("C:\\d\x81\\\\upd.exe"), "C:\\d\x81\\");
    EXPECT_EQ(directory_of("C:\\\xB8\xFC\\upd.exe"), "C:\\\xB8\xFC");
}

} // namespace
