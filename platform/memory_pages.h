#pragma once
// Large memory pages: filling a large block of fresh memory costs one page fault per page, and the
// usual 4 KiB pages make that a large share of the time a big file takes to load.
#include <cstddef>

namespace platform {

// The size of the large pages that AdviseLargePages asks for, and the alignment a block needs for them.
constexpr size_t kLargePageSize = size_t(2) * 1024 * 1024;

// Asks the system to back [start, start + size) with large pages when it is first touched. start and
// size should be multiples of kLargePageSize. Only a hint: where the system has no such pages for
// programs, or declines, nothing changes (Windows grants them only to accounts that may lock memory).
void AdviseLargePages(void* start, size_t size) noexcept;

}  // namespace platform
