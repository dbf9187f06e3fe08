// Placeholder: the SIF reader and writer are being written.
#include "sif/SifFile.h"
namespace SpriteProject {
bool WriteSIF(const std::string&, uint8_t, uint8_t, uint8_t) { return false; }
SifImage ReadSIF(const std::string&) { return {}; }
} // namespace SpriteProject
