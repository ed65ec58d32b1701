#include "app/update_worker.h"

#include <algorithm>
#include <array>

#include "app/download.h"
#include "app/program_values.h"
#include "app/progress_text.h"
#include "resources/texts.h"
#include "runtime/files.h"
#include "runtime/late_binding.h"
#include "runtime/message_box.h"
#include "runtime/random.h"
#include "runtime/scoped_handle_win.h"
#include "skin/skin_library.h"
#include "ui/program_end.h"

namespace {

// How long the application may take to close after WM_CLOSE: it may be asking its user to save work.
constexpr DWORD application_close_wait_ms = 10000;
// A virus scanner or an indexer may hold a file that was just closed for a moment.
constexpr int file_retry_count = 20;
constexpr DWORD file_retry_pause_ms = 100;

// Window handles are 32-bit values, sign-extended in 64-bit processes.
HWND window_from_number(std::int32_t number)
{
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(number));
}

// Asks the application to close and waits for its process to end. It is never terminated: it may be
// waiting for its user. A window of this very process is never asked, so that a handle of the updater's
// own window passed by mistake cannot cancel the update.
void close_application(std::int32_t window_number)
{
    HWND window = window_from_number(window_number);
    if (!late_is_window(window))
        return;
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id == 0 || process_id == GetCurrentProcessId())
        return;
    target_process_id.store(static_cast<std::int32_t>(process_id));
    // Opened before the post, so the id cannot be reused by another process in between.
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process) {
        WaitForSingleObject(process, application_close_wait_ms);
        CloseHandle(process);
    } else {
        sleep_ms(50);
    }
}

template <typename Operation> bool retry_briefly(Operation operation)
{
    for (int attempt = 1;; ++attempt) {
        if (operation())
            return true;
        if (attempt == file_retry_count)
            return false;
        sleep_ms(file_retry_pause_ms);
    }
}

// The new program is started from its full path, quoted, so that a path with blanks can never start
// another program (C:\Program.exe for C:\Program Files\...).
void start_new_program(const Text& path)
{
    run_program(join_texts({"\"", path, "\""}), false);
}

// Holds the downloaded file with delete access: from then on nobody can open it without sharing its
// deletion (a virus scanner, an indexer), so nobody can keep it from being moved into place.
ScopedHandle claim_for_move(const Text& temporary)
{
    return ScopedHandle(CreateFileA(temporary.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Replaces the old program with the downloaded one and starts it; tells the user when it cannot. The
// new file is claimed before the old one is deleted: a move that failed after the deletion would leave
// the user with no program at all.
void replace_program(const Text& temporary, const Text& target)
{
    close_all_files();
    ScopedHandle download;
    if (!retry_briefly([&] { return static_cast<bool>(download = claim_for_move(temporary)); })) {
        message_box(texts::move_failed, MB_ICONINFORMATION, texts::notice_caption);
        return;
    }
    if (!retry_briefly([&] { return delete_file(target); })) {
        message_box(texts::delete_failed, MB_ICONINFORMATION, texts::notice_caption);
        return;
    }
    if (!retry_briefly([&] { return move_file(temporary, target); })) {
        message_box(texts::move_failed, MB_ICONINFORMATION, texts::notice_caption);
        return;
    }
    download.reset();
    start_new_program(target);
}

// The status line and bar position on their way to the window. They live here, not on the worker's
// stack: a cancel may terminate the worker while the user-interface thread has still to apply them.
struct ShownProgress {
    std::array<char, 256> caption{};
    std::int32_t position = 0;
};
ShownProgress shown_progress;

// On the user-interface thread, while the worker waits.
void apply_shown_progress()
{
    status_label.set_caption(shown_progress.caption.data());
    progress_bar.set_position(shown_progress.position);
}

} // namespace

void UpdateWorker()
{
    set_temp_file_number(random_in_range(111, 99999));
    if (run_directory().empty()) {
        // Without its own folder the updater would write and replace files at the drive's root.
        if (update_stage.begin_download())
            update_stage.download_failed();
        report_download_outcome(DownloadOutcome::cannot_open_output);
        return;
    }
    const Text temporary = temporary_path();
    write_whole_file(temporary, {});
    if (!update_stage.begin_download())
        return;

    const DownloadOutcome outcome =
        fetch_to_file({update_arguments.download_url, temporary, 0, false}, show_progress);
    if (outcome != DownloadOutcome::complete) {
        // The file is closed: the window's handlers need not wait for this thread any more, even while
        // the message below is on screen.
        update_stage.download_failed();
        report_download_outcome(outcome);
        return;
    }
    // A cancel that came first keeps the old program; the handler removes the download.
    if (!update_stage.begin_replacing())
        return;

    status_label.set_caption(texts::download_complete);
    close_application(update_arguments.app_window);
    replace_program(temporary, target_path());
    detach_skin();
    end_program(0);
}

DWORD WINAPI update_worker_entry(void*)
{
    UpdateWorker();
    return 0;
}

void show_progress(std::int32_t total_bytes, std::int32_t downloaded_bytes, std::int32_t elapsed_ms,
                   std::int32_t received_bytes)
{
#ifdef UPDATER_BENCH_NO_PROGRESS_DISPLAY
    return;
#endif
    const ProgressView view = progress_view(total_bytes, downloaded_bytes, elapsed_ms, received_bytes);
    const std::size_t length = std::min(view.caption.size(), shown_progress.caption.size() - 1);
    std::copy_n(view.caption.data(), length, shown_progress.caption.data());
    shown_progress.caption[length] = '\0';
    shown_progress.position = view.position;
    // Both changes in one trip to the user-interface thread, rather than one trip for each: a message
    // sent across threads is the dearest part of an update under Wine.
    MainForm.run_on_window_thread(apply_shown_progress);
}
