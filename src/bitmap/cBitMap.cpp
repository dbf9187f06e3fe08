// Placeholder: the bitmap engine is being written.
#include "bitmap/cBitMap.h"

ByteBuffer ByteBuffer::Zeroed(size_t n) { ByteBuffer b; b.data_.reset(static_cast<uint8_t*>(std::calloc(n ? n : 1, 1))); b.size_ = n; return b; }
ByteBuffer ByteBuffer::Uninitialized(size_t n) { ByteBuffer b; b.data_.reset(static_cast<uint8_t*>(std::malloc(n ? n : 1))); b.size_ = n; return b; }
bool cBitMap::LoadBMP(const std::string&) { return false; }
bool cBitMap::Save(const std::string&) { return false; }
void cBitMap::DrawTo(const PixelSurface&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, double, double) const {}
void cBitMap::DrawTrans(const PixelSurface&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, double, double) const {}
void cBitMap::GenMask(int32_t) {}
std::vector<uint8_t> cBitMap::ToRLE(uint8_t) const { return {}; }
bool cBitMap::FromRLE(int32_t, int32_t, uint8_t, int32_t, const std::vector<uint8_t>&) { return false; }
