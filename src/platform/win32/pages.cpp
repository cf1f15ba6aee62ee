#include <malloc.h>

#include <new>

#include "picture/pages.h"

namespace tolvane::picture {

// Windows gives large pages only to accounts holding SeLockMemoryPrivilege,
// which a desktop user does not; plain aligned memory it is.
void* allocateAligned(std::size_t bytes, std::size_t alignment) {
  void* p = _aligned_malloc(bytes, alignment);
  if (!p) throw std::bad_alloc();
  return p;
}

void freeAligned(void* p) { _aligned_free(p); }

}  // namespace tolvane::picture
