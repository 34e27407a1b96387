#include "platform/memory_pages.h"

#include <sys/mman.h>

namespace platform {

void AdviseLargePages(void* start, size_t size) noexcept {
#ifdef MADV_HUGEPAGE
    madvise(start, size, MADV_HUGEPAGE);  // transparent huge pages, where the system lets programs ask
#else
    (void)start;
    (void)size;
#endif
}

}  // namespace platform
