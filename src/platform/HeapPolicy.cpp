#include "platform/HeapPolicy.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void KeepFreedBuffers() {
#if defined(__GLIBC__)
    // Blocks up to 32 MiB (the largest the library takes) come from the heap,
    // and up to 256 MiB of free heap is kept.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}
