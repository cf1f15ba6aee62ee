// Memory for screen-sized pictures, from the system's own allocator (the
// back ends in platform/posix and platform/win32 implement it).
#pragma once

#include <cstddef>

namespace tolvane::picture {

// `bytes` of memory starting on an `alignment` boundary (a power of two that
// divides `bytes`), with the system asked to back it by huge pages where it
// can. Throws std::bad_alloc. Released with freeAligned.
void* allocateAligned(std::size_t bytes, std::size_t alignment);
void freeAligned(void* p);

}  // namespace tolvane::picture
