#include "bitmap/PageAlloc.h"

#include <cstdint>
#include <mutex>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define CELWRIGHT_HAVE_MMAP 1
#else
#include <cstdlib>
#endif

namespace PageAlloc {

namespace {
constexpr size_t Huge = size_t{2} << 20;
uintptr_t RoundUp(uintptr_t v, size_t to) {
    return (v + to - 1) & ~static_cast<uintptr_t>(to - 1);
}
} // namespace

#if CELWRIGHT_HAVE_MMAP

void* MapZeroed(size_t n, size_t& mapped) {
    mapped = 0;
    if (n == 0 || n > SIZE_MAX - 2 * Huge) return nullptr;
    const size_t len = RoundUp(n, Huge);
    // One huge page extra, so that the block can start on a huge-page boundary.
    void* raw = ::mmap(nullptr, len + Huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t base = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t start = RoundUp(base, Huge);
    const size_t head = start - base;
    if (head) ::munmap(raw, head);
    if (Huge - head) ::munmap(reinterpret_cast<void*>(start + len), Huge - head);
    void* p = reinterpret_cast<void*>(start);
    AdviseHuge(p, len);
    mapped = len;
    return p;
}

namespace {
// One freed block kept for the next MapAny.
std::mutex spareLock;
void* spare = nullptr;
size_t spareLen = 0;
} // namespace

void* MapAny(size_t n, size_t& mapped) {
    mapped = 0;
    if (n == 0 || n > SIZE_MAX - 2 * Huge) return nullptr;
    const size_t len = RoundUp(n, Huge);
    void* block = nullptr;
    size_t blockLen = 0;
    {
        std::lock_guard<std::mutex> hold(spareLock);
        std::swap(block, spare);
        std::swap(blockLen, spareLen);
    }
    if (block && blockLen >= len) {
        if (blockLen > len) ::munmap(static_cast<uint8_t*>(block) + len, blockLen - len);
        mapped = len;
        return block;
    }
    if (block) ::munmap(block, blockLen);
    return MapZeroed(n, mapped);
}

void Unmap(void* p, size_t mapped) {
    if (!p || !mapped) return;
    void* old = nullptr;
    size_t oldLen = 0;
    {
        std::lock_guard<std::mutex> hold(spareLock);
        old = spare;
        oldLen = spareLen;
        spare = p;
        spareLen = mapped;
    }
    if (old) ::munmap(old, oldLen);
}

void ReleaseSpare() {
    void* old = nullptr;
    size_t oldLen = 0;
    {
        std::lock_guard<std::mutex> hold(spareLock);
        std::swap(old, spare);
        std::swap(oldLen, spareLen);
    }
    if (old) ::munmap(old, oldLen);
}

void AdviseHuge(void* p, size_t n) {
#ifdef MADV_HUGEPAGE
    const uintptr_t begin = RoundUp(reinterpret_cast<uintptr_t>(p), Huge);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + n) & ~static_cast<uintptr_t>(Huge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}

void AdviseSmall(void* p, size_t n) {
#ifdef MADV_NOHUGEPAGE
    const uintptr_t begin = RoundUp(reinterpret_cast<uintptr_t>(p), Huge);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + n) & ~static_cast<uintptr_t>(Huge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_NOHUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}

#else

void* MapZeroed(size_t n, size_t& mapped) {
    mapped = n;
    void* p = std::calloc(n ? n : 1, 1);
    if (!p) mapped = 0;
    return p;
}

void* MapAny(size_t n, size_t& mapped) {
    mapped = n;
    void* p = std::malloc(n ? n : 1);
    if (!p) mapped = 0;
    return p;
}

void Unmap(void* p, size_t) {
    std::free(p);
}

void ReleaseSpare() {}

void AdviseHuge(void*, size_t) {}
void AdviseSmall(void*, size_t) {}

#endif

} // namespace PageAlloc
