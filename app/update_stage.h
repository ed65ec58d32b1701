#pragma once
// Where the update stands, shared by the worker and the window's handlers. Cancelling and replacing
// exclude each other: whichever of the two claims the stage first wins, so a cancel can never land
// between the deletion of the old program and the move of the new one.

#include <atomic>

enum class UpdateStage {
    preparing,   // the worker is choosing and creating the temporary file
    downloading, // the download runs; it may be cancelled
    replacing,   // the old program is being replaced; a cancel waits for the worker to finish
    cancelled,   // a handler stopped the update; the worker leaves everything to it
    stopped,     // the download failed and the worker has ended
};

class UpdateStageGate {
  public:
    UpdateStage current() const { return stage_.load(); }

    // Worker: the download may begin. False once the update was cancelled.
    bool begin_download() { return advance(UpdateStage::preparing, UpdateStage::downloading); }
    // Worker: the download is complete and the replacement begins. False once the update was cancelled.
    bool begin_replacing() { return advance(UpdateStage::downloading, UpdateStage::replacing); }
    // Worker: the download failed; the window stays for the user to close.
    void download_failed() { advance(UpdateStage::downloading, UpdateStage::stopped); }

    // Handler: stops the update unless the replacement has begun. Returns the stage it found, so the
    // caller waits for the worker when that is `replacing`.
    UpdateStage cancel()
    {
        UpdateStage seen = stage_.load();
        while (seen == UpdateStage::preparing || seen == UpdateStage::downloading) {
            if (stage_.compare_exchange_weak(seen, UpdateStage::cancelled))
                return UpdateStage::cancelled;
        }
        return seen;
    }

  private:
    bool advance(UpdateStage from, UpdateStage to) { return stage_.compare_exchange_strong(from, to); }

    std::atomic<UpdateStage> stage_{UpdateStage::preparing};
};
