#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "picture/pages.h"

namespace tolvane::picture {

void* allocateAligned(std::size_t bytes, std::size_t alignment) {
  void* p = std::aligned_alloc(alignment, bytes);
  if (!p) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  madvise(p, bytes, MADV_HUGEPAGE);
#endif
  return p;
}

void freeAligned(void* p) { std::free(p); }

}  // namespace tolvane::picture
