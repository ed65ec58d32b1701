#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "runtime/files.h"
#include "runtime/numbers.h"
#include "tests/runtime/windows_test_support.h"

namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class FilesTest : public testing::Test {
  protected:
    void TearDown() override { close_all_files(); }
    ScratchDirectory scratch;
};

struct OpenModeCase {
    int mode;
    bool existing;
    bool opens;
    bool writes;
    std::string_view content_after; // after writing "ab" at the start, when the file was opened
};

TEST_F(FilesTest, OpenModes)
{
    const OpenModeCase cases[] = {
        {1, true, true, false, "12345"}, {1, false, false, false, ""},   {2, true, true, true, "ab345"},
        {2, false, false, false, ""},    {3, true, true, true, "ab345"}, {3, false, false, false, ""},
        {4, true, true, true, "ab"},     {4, false, true, true, "ab"},   {5, true, true, true, "ab345"},
        {5, false, true, true, "ab"},    {6, true, true, true, "ab345"}, {6, false, true, true, "ab"},
        {0, true, true, true, "ab345"},  {0, false, false, false, ""},   {99, false, false, false, ""},
    };
    for (const OpenModeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.existing ? " existing" : " missing"));
        const Text path = scratch.file("mode.bin");
        DeleteFileA(path.c_str());
        if (c.existing)
            write_file(path, "12345");
        const FileHandle file = open_file(path, c.mode);
        ASSERT_EQ(file != 0, c.opens);
        if (!c.opens) {
            EXPECT_EQ(file_exists(path), c.existing);
            continue;
        }
        EXPECT_EQ(write_bytes(file, bytes_of("ab")), c.writes ? 1 : 0);
        close_file(file);
        EXPECT_EQ(read_whole_file(path), c.content_after);
    }
}

TEST_F(FilesTest, SeekToEndAppends)
{
    const Text path = scratch.file("append.bin");
    write_file(path, "12345");
    const FileHandle file = open_file(path, 5);
    ASSERT_NE(file, 0u);
    EXPECT_EQ(seek_to_end(file), 5u);
    EXPECT_EQ(write_bytes(file, bytes_of("67")), 1);
    EXPECT_EQ(write_bytes(file, {}), 1);
    EXPECT_EQ(seek_to_end(file), 7u);
    close_file(file);
    EXPECT_EQ(read_whole_file(path), "1234567");
}

TEST_F(FilesTest, Sharing)
{
    struct Case {
        int sharing;
        int second_mode;
        bool second_opens;
    };
    // Mode 1 reads, mode 2 writes an existing file.
    const Case cases[] = {{0, 1, true},  {0, 2, true},  {2, 1, false}, {2, 2, true}, {3, 1, true},
                          {3, 2, false}, {4, 1, false}, {4, 2, false}, {77, 2, true}};
    const Text path = scratch.file("shared.bin");
    write_file(path, "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sharing " << c.sharing << ", then mode " << c.second_mode);
        // Opened for reading and writing, so the other side's sharing never stands in the way.
        const FileHandle first = open_file(path, 3, c.sharing);
        ASSERT_NE(first, 0u);
        const FileHandle second = open_file(path, c.second_mode);
        EXPECT_EQ(second != 0, c.second_opens);
        close_file(second);
        close_file(first);
    }
}

TEST_F(FilesTest, ClosedAndForeignHandlesAreIgnored)
{
    const Text path = scratch.file("closed.bin");
    const FileHandle file = open_file(path, 4);
    ASSERT_NE(file, 0u);
    close_file(file);
    close_file(file);
    close_file(0);
    close_file(12345);
    EXPECT_EQ(seek_to_end(file), 0u);
    EXPECT_EQ(write_bytes(file, bytes_of("x")), 0);
    EXPECT_EQ(seek_to_end(0), 0u);
    EXPECT_EQ(write_bytes(0, bytes_of("x")), 0);
    close_all_files();
    close_all_files();
    // Nothing held the file open: an exclusive open succeeds.
    const FileHandle exclusive = open_file(path, 3, 4);
    EXPECT_NE(exclusive, 0u);
}

TEST_F(FilesTest, CloseAllFilesClosesEveryOpenFile)
{
    std::vector<FileHandle> files;
    for (int i = 0; i < 5; ++i)
        files.push_back(open_file(scratch.file("all" + number_to_text(i)), 4, 4));
    close_file(files[2]);
    close_all_files();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(write_bytes(files[static_cast<std::size_t>(i)], bytes_of("x")), 0);
        EXPECT_TRUE(delete_file(scratch.file("all" + number_to_text(i)))) << i;
    }
}

TEST_F(FilesTest, WriteWholeFile)
{
    const Text path = scratch.file("whole.bin");
    const std::string_view with_nul("a\0b", 3);
    EXPECT_EQ(write_whole_file(path, bytes_of(with_nul)), 1);
    EXPECT_EQ(read_whole_file(path), with_nul);
    EXPECT_EQ(write_whole_file(path, {}), 1);
    EXPECT_TRUE(file_exists(path));
    EXPECT_EQ(read_whole_file(path), "");
    EXPECT_EQ(write_whole_file(scratch.file("missing\\whole.bin"), bytes_of("x")), 0);
    // The file is closed again: it can be opened exclusively.
    EXPECT_NE(open_file(path, 3, 4), 0u);
}

TEST_F(FilesTest, ExistsDeleteMove)
{
    const Text from = scratch.file("from.bin");
    const Text to = scratch.file("to.bin");
    EXPECT_FALSE(file_exists(from));
    EXPECT_FALSE(delete_file(from));
    write_file(from, "new");
    write_file(to, "old");
    EXPECT_TRUE(file_exists(from));
    EXPECT_FALSE(move_file(from, to)); // nothing is replaced
    EXPECT_EQ(read_whole_file(to), "old");
    EXPECT_TRUE(delete_file(to));
    EXPECT_TRUE(move_file(from, to));
    EXPECT_FALSE(file_exists(from));
    EXPECT_EQ(read_whole_file(to), "new");
}

// The worker opens, writes and closes its file while the user-interface thread closes all files: the
// list must stay whole, and every handle must end up closed exactly once.
TEST_F(FilesTest, ListSurvivesConcurrentUse)
{
    constexpr int worker_count = 4;
    constexpr int rounds = 300;
    std::atomic<bool> stop{false};
    std::thread closer([&] {
        while (!stop.load())
            close_all_files();
    });
    std::vector<std::thread> workers;
    std::atomic<int> failed_opens{0};
    for (int w = 0; w < worker_count; ++w) {
        workers.emplace_back([&, w] {
            const Text path = scratch.file("worker" + number_to_text(w));
            for (int round = 0; round < rounds; ++round) {
                const FileHandle file = open_file(path, 5);
                if (file == 0) {
                    ++failed_opens;
                    continue;
                }
                write_bytes(file, bytes_of("block"));
                seek_to_end(file);
                close_file(file);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    stop = true;
    closer.join();
    close_all_files();
    EXPECT_EQ(failed_opens.load(), 0);
    for (int w = 0; w < worker_count; ++w) {
        const Text path = scratch.file("worker" + number_to_text(w));
        const FileHandle exclusive = open_file(path, 3, 4);
        EXPECT_NE(exclusive, 0u) << "a handle of " << path << " was left open";
        close_file(exclusive);
    }
}

// A worker killed while it holds the list must not leave it locked for the thread that cleans up.
TEST_F(FilesTest, ListStaysUsableAfterItsUserIsKilled)
{
    const Text path = scratch.file("killed.bin");
    for (int attempt = 0; attempt < 5; ++attempt) {
        const FileHandle file = open_file(path, 4);
        ASSERT_NE(file, 0u);
        std::atomic<long> calls{0};
        HANDLE victim = CreateThread(
            nullptr, 0,
            [](void* parameter) -> DWORD {
                auto* state = static_cast<std::pair<FileHandle, std::atomic<long>*>*>(parameter);
                for (;;) {
                    seek_to_end(state->first);
                    ++*state->second;
                }
            },
            new std::pair<FileHandle, std::atomic<long>*>(file, &calls), 0, nullptr);
        ASSERT_NE(victim, nullptr);
        while (calls.load() < 200 * (attempt + 1))
            Sleep(1);
        TerminateThread(victim, 0);
        WaitForSingleObject(victim, INFINITE);
        CloseHandle(victim);
        close_all_files();
        const FileHandle again = open_file(path, 4, 4);
        EXPECT_NE(again, 0u);
        close_file(again);
    }
}

TEST(RunDirectoryTest, IsTheProgramsDirectory)
{
    EXPECT_EQ(run_directory(), test_program_directory());
}

// What the helper program reports: run_directory, current directory, show command, startup flags, and
// whether an inherited handle is open in it.
struct ChildReport {
    Text run_directory;
    Text current_directory;
    int show_command = -1;
    int startup_flags = -1;
    bool handle_inherited = false;
};

ChildReport read_report(const Text& path)
{
    const std::vector<Text> lines = split_text(read_whole_file(path), "\n");
    ChildReport report;
    if (lines.size() == 5) {
        report.run_directory = lines[0];
        report.current_directory = lines[1];
        report.show_command = text_to_int(lines[2]);
        report.startup_flags = text_to_int(lines[3]);
        report.handle_inherited = lines[4] == "1";
    }
    return report;
}

class RunProgramTest : public testing::Test {
  protected:
    // Copies the helper program to `directory` and returns its path.
    Text place_helper(const Text& directory)
    {
        const Text copy = directory + "\\rt child.exe";
        EXPECT_TRUE(CopyFileA(helper_program().c_str(), copy.c_str(), FALSE));
        return copy;
    }
    ScratchDirectory scratch{"rt \xB8\xFC\xD0\xC2 "}; // a blank and "更新" in the name
};

TEST_F(RunProgramTest, ShowModes)
{
    const Text helper = place_helper(scratch.path());
    const Text report = scratch.file("report.txt");
    const std::pair<int, int> modes[] = {{0, SW_SHOW},
                                         {1, SW_HIDE},
                                         {2, SW_SHOW},
                                         {3, SW_SHOWMINIMIZED},
                                         {4, SW_SHOWMAXIMIZED},
                                         {5, SW_SHOWNOACTIVATE},
                                         {6, SW_SHOWMINNOACTIVE},
                                         {-4, SW_SHOW}};
    for (const auto& [mode, show] : modes) {
        DeleteFileA(report.c_str());
        ASSERT_TRUE(run_program("\"" + helper + "\" report \"" + report + "\" 0", true, mode));
        const ChildReport seen = read_report(report);
        EXPECT_EQ(seen.show_command, show) << "mode " << mode;
        EXPECT_EQ(seen.startup_flags, STARTF_USESHOWWINDOW) << "mode " << mode;
    }
}

TEST_F(RunProgramTest, ChildInheritsHandlesAndDirectoryAndFindsItsOwnDirectory)
{
    const Text helper = place_helper(scratch.path());
    const Text report = scratch.file("report.txt");
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE event = CreateEventA(&inheritable, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    char directory[MAX_PATH * 4] = {};
    GetCurrentDirectoryA(sizeof(directory), directory);
    const Text handle_value = std::to_string(reinterpret_cast<std::uintptr_t>(event));
    // Without wait the program may still run: wait for its report afterwards.
    ASSERT_TRUE(run_program("\"" + helper + "\" report \"" + report + "\" " + handle_value, false));
    for (int i = 0; i < 3000 && read_report(report).show_command < 0; ++i)
        Sleep(20);
    const ChildReport seen = read_report(report);
    CloseHandle(event);
    EXPECT_EQ(seen.run_directory, scratch.path());
    EXPECT_EQ(seen.current_directory, directory);
    EXPECT_TRUE(seen.handle_inherited);
}

TEST_F(RunProgramTest, ProgramInDriveRootGivesDriveWithoutBackslash)
{
    const Text helper = "C:\\rt_child_root.exe";
    ASSERT_TRUE(CopyFileA(helper_program().c_str(), helper.c_str(), FALSE));
    const Text report = scratch.file("report.txt");
    EXPECT_TRUE(run_program(helper + " report \"" + report + "\" 0", true));
    DeleteFileA(helper.c_str());
    EXPECT_EQ(read_report(report).run_directory, "C:");
}

// Paths this long can only be created through the wide functions and the "\\?\" form.
std::wstring long_form(const Text& path)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
    wide.pop_back();
    return L"\\\\?\\" + wide;
}

TEST_F(RunProgramTest, ProgramDeeperThanMaxPathFindsItsDirectory)
{
    Text deep = scratch.path();
    std::vector<std::wstring> created;
    while (deep.size() <= MAX_PATH + 20) {
        deep += "\\" + Text(40, 'd');
        created.push_back(long_form(deep));
        ASSERT_TRUE(CreateDirectoryW(created.back().c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    const Text helper = deep + "\\rt child.exe";
    ASSERT_TRUE(CopyFileW(long_form(helper_program()).c_str(), long_form(helper).c_str(), FALSE));
    const Text report = scratch.file("report.txt");
    const bool started = run_program("\"" + helper + "\" report \"" + report + "\" 0", true);
    DeleteFileW(long_form(helper).c_str());
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        RemoveDirectoryW(it->c_str());
    if (!started)
        GTEST_SKIP() << "this system cannot start a program deeper than MAX_PATH";
    EXPECT_EQ(read_report(report).run_directory, deep);
}

TEST_F(RunProgramTest, MissingProgramFails)
{
    EXPECT_FALSE(run_program("\"" + scratch.file("none.exe") + "\"", true));
    EXPECT_FALSE(run_program("", false));
}

} // namespace
