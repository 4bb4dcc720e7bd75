// Writing GIF files with giflib: indexed images keep their palette, deeper images are reduced
// to at most 256 colours (exactly, when they have no more).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QImage;

// `image` (any format) as the bytes of a single-frame GIF; false on failure.
bool EncodeGif(const QImage& image, std::vector<uint8_t>& out);
// Writes `image` as a GIF file (through a temporary file, see WriteWholeFile); false on failure.
bool WriteGif(const std::string& path, const QImage& image);
