// Writing GIF files with giflib: indexed images keep their palette, deeper images are reduced
// to at most 256 colours (exactly, when they have no more).
#pragma once

#include <string>

class QImage;

// Writes `image` (any format) as a single-frame GIF; false on failure.
bool WriteGif(const std::string& path, const QImage& image);
