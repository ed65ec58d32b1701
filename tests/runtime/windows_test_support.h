#pragma once
// Helpers of the runtime's Windows tests: a scratch directory, a helper process, and a watcher that
// finds a message box by its caption, reads it and presses one of its buttons.

#include <windows.h>

#include <string_view>
#include <thread>

#include "runtime/text.h"

// A fresh directory under the temporary directory, removed with its files at the end.
class ScratchDirectory {
  public:
    explicit ScratchDirectory(std::string_view name = "rt");
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory();
    const Text& path() const { return path_; }
    Text file(std::string_view name) const { return path_ + "\\" + Text(name); }

  private:
    Text path_;
};

Text read_whole_file(const Text& path);
void write_file(const Text& path, std::string_view content);

// The directory of the running test program, where the helper program is built.
Text test_program_directory();
Text helper_program();

struct ChildEnd {
    bool ended = false;
    DWORD exit_code = 0;
};
// Starts `command_line` and waits for it to end (a generous bound only guards against a hang).
ChildEnd run_child(const Text& command_line);

struct SeenBox {
    bool found = false;
    Text text;
    bool has_ok = false;
    bool has_cancel = false;
    bool has_icon = false;
};

// Watches, on a thread of its own, for a message box with `caption` (in any process of this Wine
// session), records what it shows and presses `button` on it.
class BoxWatcher {
  public:
    explicit BoxWatcher(std::string_view caption, int button = IDOK);
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;
    ~BoxWatcher();
    SeenBox seen(); // waits for the watcher to finish

  private:
    Text caption_;
    int button_;
    SeenBox seen_;
    std::thread thread_;
};
