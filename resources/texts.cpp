// Written as readable UTF-8; the build compiles a copy whose literals are code page 936 bytes
// (tools/gbk_literals.py).
#include "resources/texts.h"

namespace texts {

extern const std::string_view window_title = "程序更新";
extern const std::string_view start_update = "开始更新";
extern const std::string_view cancel_update = "取消更新";
extern const std::string_view initial_status = "如这里下载失败，请到官网下载！";
extern const std::string_view open_program_notice =
    "请打开你要更新的那款软件，有新版本的话软件会提示你更新！";
extern const std::string_view notice_caption = "提示";
extern const std::string_view download_complete = "下载完成";
extern const std::string_view move_failed = "抱歉！软件自动更新失败！建议在官网下载！";
extern const std::string_view delete_failed =
    "抱歉！软件自动更新失败！原因：无法删除原程序，升级过程中不要使用要升级的那款软件！";
extern const std::string_view internet_error = "Internet连接错误!";
extern const std::string_view cannot_open_address = "更新失败！不能打开该下载地址！请稍后再试！";
extern const std::string_view update_failed_caption = "更新失败";
extern const std::string_view cannot_open_output = "抱歉！无法打开自动更新程序！";
extern const std::string_view read_error = "读文件出错!";
extern const std::string_view size_label = "文件大小:";
extern const std::string_view downloaded_label = "已下载:";
extern const std::string_view speed_label = "下载速度:";
extern const std::string_view kb_unit = "KB";
extern const std::string_view speed_unit = "KB/s";
extern const std::string_view default_caption = "信息";
extern const std::string_view out_of_memory = "内存不足";
extern const std::string_view error_caption = "error";

extern const std::string_view internal_error_format = "program internal error number is %d. \r\n%s";
extern const std::array<std::string_view, 12> internal_error_descriptions = {
    "",
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};

extern const std::string_view dll_error_caption = "DLL ERROR";
extern const std::string_view module_not_found_format = "同目录下无法找到DLL文件:\"%s\".请与作者联系.";
extern const std::string_view function_not_found_format = "无法定位DLL文件:\"%s\"当中的\"%s\"函数.";

} // namespace texts
