#pragma once
// Every fixed text of the program. The definitions are written as readable UTF-8 and compiled to GBK
// (code page 936), so each constant holds the bytes the ANSI Win32 functions show. Each is a literal,
// so its data is NUL-terminated and may be handed to functions that expect a C string.

#include <array>
#include <string_view>

namespace texts {

extern const std::string_view window_title;
extern const std::string_view start_update;
extern const std::string_view cancel_update;
extern const std::string_view initial_status;
extern const std::string_view open_program_notice;
extern const std::string_view notice_caption;
extern const std::string_view download_complete;
extern const std::string_view move_failed;
extern const std::string_view delete_failed;
extern const std::string_view internet_error;
extern const std::string_view cannot_open_address;
extern const std::string_view update_failed_caption;
extern const std::string_view cannot_open_output;
extern const std::string_view read_error;
extern const std::string_view size_label;
extern const std::string_view downloaded_label;
extern const std::string_view speed_label;
extern const std::string_view kb_unit;
extern const std::string_view speed_unit;
extern const std::string_view default_caption;
extern const std::string_view out_of_memory;
extern const std::string_view error_caption;

// wsprintfA formats: the number, then the description.
extern const std::string_view internal_error_format;
// Indexed by the error number, 1 to 11; index 0 is empty.
extern const std::array<std::string_view, 12> internal_error_descriptions;

extern const std::string_view dll_error_caption;
// wsprintfA formats: the module name; the module name, then the function name.
extern const std::string_view module_not_found_format;
extern const std::string_view function_not_found_format;

} // namespace texts
