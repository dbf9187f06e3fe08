#pragma once
// Little-endian byte packing shared by every file format of the program.
// The reader is bounds-checked: a read past the end fails and consumes nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    void U8(uint8_t v) { out_.push_back(v); }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void U16(uint16_t v) {
        out_.push_back(static_cast<uint8_t>(v));
        out_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Bytes(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + n);
    }
    void Bytes(const std::string& s) { Bytes(s.data(), s.size()); }
    size_t Size() const { return out_.size(); }

    // Overwrites 4 bytes already written at offset (for back-patched positions).
    void PatchI32(size_t offset, int32_t v) {
        for (int i = 0; i < 4; ++i) out_[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    }

private:
    std::vector<uint8_t>& out_;
};

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const std::vector<uint8_t>& v) : data_(v.data()), size_(v.size()) {}

    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ == size_; }
    const uint8_t* Current() const { return data_ + pos_; }

    bool U8(uint8_t& v) {
        if (Remaining() < 1) return false;
        v = data_[pos_++];
        return true;
    }
    bool U16(uint16_t& v) {
        if (Remaining() < 2) return false;
        v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool I16(int16_t& v) {
        uint16_t u;
        if (!U16(u)) return false;
        v = static_cast<int16_t>(u);
        return true;
    }
    bool U32(uint32_t& v) {
        if (Remaining() < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return true;
    }
    bool I32(int32_t& v) {
        uint32_t u;
        if (!U32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Bytes(void* out, size_t n) {
        if (Remaining() < n) return false;
        if (n) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool String(std::string& out, size_t n) {
        if (Remaining() < n) return false;
        out.assign(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return true;
    }
    bool Skip(size_t n) {
        if (Remaining() < n) return false;
        pos_ += n;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
