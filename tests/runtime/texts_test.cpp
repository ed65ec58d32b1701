#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>

#include "resources/texts.h"

namespace {

// Converts UTF-8 to code page 936 with the C library's converter, independent of the compiler's.
std::string to_cp936(std::string_view utf8)
{
    iconv_t converter = iconv_open("CP936", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return "<no converter>";
    std::string input(utf8);
    std::string output(input.size() * 2 + 4, '\0');
    char* in = input.data();
    std::size_t in_left = input.size();
    char* out = output.data();
    std::size_t out_left = output.size();
    const std::size_t result = iconv(converter, &in, &in_left, &out, &out_left);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        return "<not convertible>";
    output.resize(output.size() - out_left);
    return output;
}

struct TextCase {
    const char* name;
    std::string_view compiled;
    std::string_view utf8;
};

TEST(TextsTest, AreTheUtf8TextsInCodePage936)
{
    const TextCase cases[] = {
        {"window_title", texts::window_title, "程序更新"},
        {"start_update", texts::start_update, "开始更新"},
        {"cancel_update", texts::cancel_update, "取消更新"},
        {"initial_status", texts::initial_status, "如这里下载失败，请到官网下载！"},
        {"open_program_notice", texts::open_program_notice,
         "请打开你要更新的那款软件，有新版本的话软件会提示你更新！"},
        {"notice_caption", texts::notice_caption, "提示"},
        {"download_complete", texts::download_complete, "下载完成"},
        {"move_failed", texts::move_failed, "抱歉！软件自动更新失败！建议在官网下载！"},
        {"delete_failed", texts::delete_failed,
         "抱歉！软件自动更新失败！原因：无法删除原程序，升级过程中不要使用要升级的那款软件！"},
        {"internet_error", texts::internet_error, "Internet连接错误!"},
        {"cannot_open_address", texts::cannot_open_address, "更新失败！不能打开该下载地址！请稍后再试！"},
        {"update_failed_caption", texts::update_failed_caption, "更新失败"},
        {"cannot_open_output", texts::cannot_open_output, "抱歉！无法打开自动更新程序！"},
        {"read_error", texts::read_error, "读文件出错!"},
        {"size_label", texts::size_label, "文件大小:"},
        {"downloaded_label", texts::downloaded_label, "已下载:"},
        {"speed_label", texts::speed_label, "下载速度:"},
        {"kb_unit", texts::kb_unit, "KB"},
        {"speed_unit", texts::speed_unit, "KB/s"},
        {"default_caption", texts::default_caption, "信息"},
        {"out_of_memory", texts::out_of_memory, "内存不足"},
        {"error_caption", texts::error_caption, "error"},
        {"internal_error_format", texts::internal_error_format,
         "program internal error number is %d. \r\n%s"},
        {"description_0", texts::internal_error_descriptions[0], ""},
        {"description_1", texts::internal_error_descriptions[1], "数组成员引用下标超出定义范围"},
        {"description_2", texts::internal_error_descriptions[2], "未得到所需要的数值型数据"},
        {"description_3", texts::internal_error_descriptions[3],
         "引用数组成员时维数不为1且不等于该数组目前所具有的维数"},
        {"description_4", texts::internal_error_descriptions[4], "数组成员引用下标必须大于等于1"},
        {"description_5", texts::internal_error_descriptions[5], "数据或数组类型不匹配"},
        {"description_6", texts::internal_error_descriptions[6],
         "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确"},
        {"description_7", texts::internal_error_descriptions[7],
         "子语句参数未返回数据或者返回了非系统基本类型或数组型数据"},
        {"description_8", texts::internal_error_descriptions[8], "被比较数据只能使用等于或不等于命令比较"},
        {"description_9", texts::internal_error_descriptions[9],
         "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围"},
        {"description_10", texts::internal_error_descriptions[10],
         "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零"},
        {"description_11", texts::internal_error_descriptions[11], "所提供参数的数据类型不符合要求"},
        {"dll_error_caption", texts::dll_error_caption, "DLL ERROR"},
        {"module_not_found_format", texts::module_not_found_format,
         "同目录下无法找到DLL文件:\"%s\".请与作者联系."},
        {"function_not_found_format", texts::function_not_found_format,
         "无法定位DLL文件:\"%s\"当中的\"%s\"函数."},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(c.compiled, to_cp936(c.utf8)) << c.name;
        // Handed to the ANSI functions as C strings, so each must end in a NUL right after its bytes.
        EXPECT_EQ(c.compiled.data()[c.compiled.size()], '\0') << c.name;
    }
}

} // namespace
