#pragma once

#include <cstdint>

#include "runtime/text.h"

// What one progress report shows: the status line and the bar position.
struct ProgressView {
    Text caption;
    std::int32_t position = 0;
};

// Computed from the four values of one progress report alone; nothing is remembered between blocks.
ProgressView progress_view(std::int32_t total_bytes, std::int32_t downloaded_bytes, std::int32_t elapsed_ms,
                           std::int32_t received_bytes);
