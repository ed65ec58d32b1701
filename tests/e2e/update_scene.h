#pragma once
// One update as a user and an application see it: a folder with updater.exe and the application's
// program, the application running, the updater started with a command line, its window and message
// boxes found, read and operated, and the files checked afterwards.

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
std::string server_state_dir();
// The port of a test server ("nginx" or "fault") from the servers' ports file.
int server_port(const std::string& name);
// Makes a file available from nginx under /<name>.
void publish(const std::string& source_path, const std::string& name);

struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
};

class UpdateScene {
public:
    // A fresh folder named after the test, holding updater.exe and version 1 of the application under
    // `target_name`. `folder_suffix` may add blanks or further levels.
    explicit UpdateScene(const std::string& test_name, const std::string& target_name = "app.exe",
                         const std::string& folder_suffix = "");
    ~UpdateScene();
    UpdateScene(const UpdateScene&) = delete;
    UpdateScene& operator=(const UpdateScene&) = delete;

    const std::string& folder() const { return folder_; }
    std::string path(const std::string& name) const { return folder_ + "\\" + name; }
    std::string target_path() const { return path(target_name_); }

    // Starts the application (version 1) from the target file; returns its window handle.
    HWND start_application(const std::string& options = "");
    // Starts updater.exe with `argument` as its whole argument text (quote it yourself).
    void start_updater(const std::string& argument);
    // The usual argument: "<url>,<target>,<application window>,0", quoted.
    std::string argument_for(const std::string& url) const;

    // The updater's visible window, once it shows; null if it does not within the timeout.
    HWND wait_for_window(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    std::wstring status_text() const;
    std::wstring button_text() const;
    int bar_position() const;
    // Waits until the status line satisfies `predicate`.
    template <typename Predicate>
    bool wait_for_status(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(30));

    // A message box of the updater's process, read and dismissed with OK; empty on timeout.
    std::optional<MessageBoxSeen> dismiss_message_box(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool message_box_shown() const;

    void click_button();
    void close_window();

    // The updater's exit code, or empty when it is still running after the timeout.
    std::optional<DWORD> wait_for_exit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool updater_running() const;
    bool application_running() const;
    // Lines of started.log beside the target: one per start of the application ("version N").
    std::vector<std::string> starts() const;

private:
    HWND find_message_box() const;

    std::string folder_;
    std::string target_name_;
    PROCESS_INFORMATION updater_{};
    PROCESS_INFORMATION application_{};
    HWND application_window_ = nullptr;
    HWND window_ = nullptr;
    HANDLE job_ = nullptr;
};

template <typename Predicate>
bool UpdateScene::wait_for_status(Predicate predicate, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (predicate(status_text()))
            return true;
        Sleep(20);
    }
    return false;
}

// The bytes of the application's two versions and of the updater under test.
std::string version_1_bytes();
std::string version_2_bytes();

} // namespace e2e
