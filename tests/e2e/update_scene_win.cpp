#include "tests/e2e/update_scene.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {

namespace {

std::string windows_path(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

struct WindowSearch {
    DWORD process_id;
    const wchar_t* title; // null: any title
    bool exclude_title;
    bool visible_only;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.process_id)
        return TRUE;
    wchar_t class_name[32] = {};
    GetClassNameW(window, class_name, 32);
    if (std::wstring(class_name) != L"#32770")
        return TRUE;
    if (search.visible_only && !IsWindowVisible(window))
        return TRUE;
    if (search.title) {
        wchar_t title[128] = {};
        GetWindowTextW(window, title, 128);
        if ((std::wstring(title) == search.title) == search.exclude_title)
            return TRUE;
    }
    search.found = window;
    return FALSE;
}

HWND find_dialog(DWORD process_id, const wchar_t* title, bool exclude_title, bool visible_only)
{
    WindowSearch search{process_id, title, exclude_title, visible_only, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring window_text(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// Ends every demo application left running from `folder` (passed as the LPARAM), whichever version
// started it. Scenes of other tests may run at the same time; their applications are left alone.
BOOL CALLBACK close_demo_application(HWND window, LPARAM folder_parameter)
{
    const std::string& folder = *reinterpret_cast<const std::string*>(folder_parameter);
    wchar_t class_name[64] = {};
    GetClassNameW(window, class_name, 64);
    if (std::wstring(class_name) != L"UpdaterDemoApplication")
        return TRUE;
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                 process_id);
    if (!process)
        return TRUE;
    char image[MAX_PATH * 4] = {};
    DWORD length = sizeof image;
    const bool ours = QueryFullProcessImageNameA(process, 0, image, &length) &&
                      _strnicmp(image, (folder + "\\").c_str(), folder.size() + 1) == 0;
    if (ours) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    return TRUE;
}

void end_process(PROCESS_INFORMATION& process)
{
    if (!process.hProcess)
        return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
}

// Every process a scene starts, and every process those start (the new version the updater runs), is
// in the scene's job, so none outlives the test: a leftover Wine process would keep CTest waiting.
bool start_process(HANDLE job, const std::string& command, const std::string& directory,
                   PROCESS_INFORMATION& process)
{
    STARTUPINFOA startup{sizeof startup};
    std::string line = command;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process))
        return false;
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    return true;
}

HANDLE make_job()
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

void remove_tree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

void make_folders(const std::string& folder)
{
    for (std::size_t slash = folder.find('\\', 3); slash != std::string::npos; slash = folder.find('\\', slash + 1))
        CreateDirectoryA(folder.substr(0, slash).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
}

} // namespace

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool file_exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string server_state_dir()
{
    return windows_path(UPDATER_SERVER_STATE);
}

int server_port(const std::string& name)
{
    std::ifstream ports(server_state_dir() + "\\ports.txt");
    std::string line;
    while (std::getline(ports, line)) {
        if (line.rfind(name + "=", 0) == 0)
            return std::stoi(line.substr(name.size() + 1));
    }
    throw std::runtime_error("no port for server " + name + "; are the test servers running?");
}

void publish(const std::string& source_path, const std::string& name)
{
    CopyFileA(windows_path(source_path).c_str(), (server_state_dir() + "\\www\\" + name).c_str(), FALSE);
}

std::string version_1_bytes()
{
    return read_file(windows_path(UPDATER_DEMO_APP_V1));
}

std::string version_2_bytes()
{
    return read_file(windows_path(UPDATER_DEMO_APP_V2));
}

UpdateScene::UpdateScene(const std::string& test_name, const std::string& target_name,
                         const std::string& folder_suffix)
    : folder_(windows_path(UPDATER_E2E_WORK_DIR) + "\\" + test_name + folder_suffix), target_name_(target_name),
      job_(make_job())
{
    remove_tree(folder_);
    make_folders(folder_);
    CopyFileA(windows_path(UPDATER_EXE).c_str(), path("updater.exe").c_str(), FALSE);
    CopyFileA(windows_path(UPDATER_DEMO_APP_V1).c_str(), target_path().c_str(), FALSE);
}

UpdateScene::~UpdateScene()
{
    end_process(updater_);
    end_process(application_);
    if (job_) {
        TerminateJobObject(job_, 1);
        CloseHandle(job_);
    }
    // A new version started after the job's end still shows its window for a moment.
    for (int i = 0; i < 10; ++i) {
        EnumWindows(close_demo_application, reinterpret_cast<LPARAM>(&folder_));
        Sleep(50);
    }
}

HWND UpdateScene::start_application(const std::string& options)
{
    const std::string hwnd_file = path("application.hwnd");
    DeleteFileA(hwnd_file.c_str());
    if (!start_process(job_, "\"" + target_path() + "\" --hwnd-file \"" + hwnd_file + "\" " + options, folder_,
                       application_))
        return nullptr;
    // The file may show up before its number can be read (a rename is not atomic everywhere): wait for
    // the number itself.
    std::string number;
    for (int i = 0; i < 1500; ++i) {
        number = read_file(hwnd_file);
        if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
            break;
        number.clear();
        Sleep(20);
    }
    application_window_ = number.empty() ? nullptr : reinterpret_cast<HWND>(std::stoull(number));
    return application_window_;
}

std::string UpdateScene::argument_for(const std::string& url) const
{
    return "\"" + url + "," + target_name_ + "," +
           std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(application_window_))) + ",0\"";
}

void UpdateScene::start_updater(const std::string& argument)
{
    const std::string command = "\"" + path("updater.exe") + "\"" + (argument.empty() ? "" : " " + argument);
    if (!start_process(job_, command, "", updater_))
        throw std::runtime_error("updater.exe did not start: " + command);
}

HWND UpdateScene::wait_for_window(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!window_ && std::chrono::steady_clock::now() < deadline) {
        window_ = find_dialog(updater_.dwProcessId, L"程序更新", false, true);
        if (!window_)
            Sleep(20);
    }
    return window_;
}

std::wstring UpdateScene::status_text() const
{
    return window_text(GetDlgItem(window_, 1004));
}

std::wstring UpdateScene::button_text() const
{
    return window_text(GetDlgItem(window_, 1003));
}

int UpdateScene::bar_position() const
{
    return static_cast<int>(SendMessageW(GetDlgItem(window_, 1002), PBM_GETPOS, 0, 0));
}

HWND UpdateScene::find_message_box() const
{
    return find_dialog(updater_.dwProcessId, L"程序更新", true, true);
}

bool UpdateScene::message_box_shown() const
{
    return find_message_box() != nullptr;
}

std::optional<MessageBoxSeen> UpdateScene::dismiss_message_box(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (HWND box = find_message_box()) {
            MessageBoxSeen seen{window_text(box), {}};
            wchar_t text[512] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 512);
            seen.text = text;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
            for (int i = 0; i < 250 && IsWindow(box); ++i)
                Sleep(20);
            return seen;
        }
        Sleep(20);
    }
    return std::nullopt;
}

void UpdateScene::click_button()
{
    PostMessageW(GetDlgItem(window_, 1003), BM_CLICK, 0, 0);
}

void UpdateScene::close_window()
{
    PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

std::optional<DWORD> UpdateScene::wait_for_exit(std::chrono::milliseconds timeout)
{
    if (WaitForSingleObject(updater_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(updater_.hProcess, &code);
    return code;
}

bool UpdateScene::updater_running() const
{
    return updater_.hProcess && WaitForSingleObject(updater_.hProcess, 0) == WAIT_TIMEOUT;
}

bool UpdateScene::application_running() const
{
    return application_.hProcess && WaitForSingleObject(application_.hProcess, 0) == WAIT_TIMEOUT;
}

std::vector<std::string> UpdateScene::starts() const
{
    std::vector<std::string> lines;
    const std::string target = target_path();
    std::istringstream log(read_file(target.substr(0, target.find_last_of('\\')) + "\\started.log"));
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace e2e
