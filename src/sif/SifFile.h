#pragma once
// Sprite Image Format: the frame tree and the whole sheet in one file.
#include <cstdint>
#include <string>
#include <vector>

namespace SpriteProject {

struct SifImage {
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t Mode = 0;
    std::vector<uint8_t> Data;
};

// Writes Actions and Sheet (with MaskColor) in depth mode 1, 2, 4 or 5.
// Reports an invalid mode or a write failure itself; returns true when written.
bool WriteSIF(const std::string& FileName, uint8_t Mode, uint8_t CompressStructure, uint8_t CompressImage);

// Reads a SIF file: fills Actions and MaskColor and returns the image stream.
// Reports what is wrong and returns an all-zero SifImage when the file is refused.
SifImage ReadSIF(const std::string& FileName);

} // namespace SpriteProject
