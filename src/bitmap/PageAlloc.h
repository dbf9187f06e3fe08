#pragma once
// Whole-page memory for the large buffers of a sheet. The pages come straight
// from the system, are zero until written and cost nothing until then; on
// Linux they are offered for huge pages, which makes the first writes to a
// large sheet many times cheaper than one page fault per 4 KB.
#include <cstddef>

namespace PageAlloc {

// Buffers from this size on are mapped; smaller ones come from the heap.
inline constexpr size_t MapThreshold = size_t{4} << 20;

// Zeroed memory of at least n bytes, or nullptr; mapped receives the length
// to hand back to Unmap.
void* MapZeroed(size_t n, size_t& mapped);
// The same with any contents: the block last unmapped is reused when it is
// large enough, which spares the system zeroing and mapping every page again
// when one sheet replaces another.
void* MapAny(size_t n, size_t& mapped);
void Unmap(void* p, size_t mapped);
// Hands the kept block back to the system.
void ReleaseSpare();

// Asks for huge pages over the whole 2 MB blocks inside [p, p + n) that have
// not been touched yet (a hint only; nothing happens where unsupported).
void AdviseHuge(void* p, size_t n);
// Asks for ordinary pages over the whole 2 MB blocks inside [p, p + n) (a
// hint only). Where a virtual machine hands freed memory back to its host, a
// huge page first written after a pause made a large load four to six times
// slower than with ordinary pages; written at once, they cost little more.
void AdviseSmall(void* p, size_t n);

} // namespace PageAlloc
