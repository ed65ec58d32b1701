#include "app/main_window.h"

#include "app/download.h"
#include "app/program_values.h"
#include "app/update_worker.h"
#include "resources/skin/skin_resources.h"
#include "resources/texts.h"
#include "runtime/command_line.h"
#include "runtime/files.h"
#include "runtime/message_box.h"
#include "skin/skin_library.h"
#include "ui/program_end.h"
#include "ui/threads.h"

namespace {

// How long a handler waits for a cancelled download to stop writing. The download checks its stop
// request between blocks and its connection is closed under it, so this is only reached when the disk
// or the network stack hangs.
constexpr DWORD stop_wait_ms = 10000;

[[noreturn]] void refuse_command_line()
{
    message_box(texts::open_program_notice, MB_ICONINFORMATION, texts::notice_caption);
    detach_skin();
    end_program(0);
}

void start_worker()
{
    update_button.set_caption(texts::cancel_update);
    start_thread(update_worker_entry, nullptr, &worker_thread_handle);
}

bool worker_ended(DWORD timeout_ms)
{
    return wait_pumping_sent_messages(worker_thread_handle, timeout_ms);
}

// Stops the worker without killing it: a thread killed mid-call may hold the heap's lock or leave the
// file list half changed. Returns once the worker writes nothing more to the temporary file.
void stop_worker()
{
    if (!worker_thread_handle)
        return;
    if (update_stage.cancel() == UpdateStage::replacing) {
        // The old program may already be gone: the worker finishes the replacement and ends the
        // program itself. Waiting keeps the user from being left without a program.
        worker_ended(INFINITE);
        return;
    }
    request_download_stop();
    // A failed download has closed its file before it shows its message, so a worker that is still
    // showing one needs no waiting for.
    const DWORD start = GetTickCount();
    while (update_stage.current() != UpdateStage::stopped && !worker_ended(50)) {
        if (GetTickCount() - start >= stop_wait_ms)
            break;
    }
}

// Closes the partly downloaded file and deletes it. The worker must have stopped writing.
void remove_download()
{
    close_file(download_file.load());
    close_all_files();
    process_pending_messages();
    delete_file(temporary_path());
}

void discard_download()
{
    stop_worker();
    remove_download();
}

} // namespace

void on_form_created(HWND window)
{
    command_line_arguments = read_command_line();
    auto arguments = parse_update_arguments(command_line_arguments);
    if (!arguments)
        refuse_command_line();
    update_arguments = *arguments;

    progress_bar.bind(window, progress_bar_id);
    update_button.bind(window, update_button_id);
    status_label.bind(window, status_label_id);
    attach_skin({SkinBlob, SkinBlob_size});
    if (HICON icon = LoadIconA(module_handle, MAKEINTRESOURCEA(window_icon_id)))
        MainForm.set_icon(icon);
    MainForm.set_background_colour(main_form_colour);
    MainForm.set_destroy_handler(on_form_destroyed);
    update_button.set_click_handler(on_update_button_clicked);
    start_worker();
}

void on_update_button_clicked()
{
    if (compare_text(update_button.caption(), texts::start_update) == 0) {
        start_worker();
        return;
    }
    discard_download();
    end_program(0);
}

void on_form_destroyed()
{
    detach_skin();
    // The worker is stopped whatever it is doing, so that it never outlives the objects it uses.
    stop_worker();
    if (download_file.load() == 0)
        return;
    if (temp_file_number().empty())
        return;
    remove_download();
}
