// The EXIF property items that travel in an image property list, written into and read from
// image files with exiv2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/ImagePropertyList.h"

// Writes the pairs of the list whose keys are in the EXIF tag table into the encoded picture
// `bytes` (JPEG, PNG or TIFF), in memory, so the picture goes to its target in one piece. Pairs
// with other keys, and rationals without "/", are skipped. False, with `bytes` as they were,
// when the picture cannot be rewritten or does not hold every item afterwards.
bool AddExifProperties(std::vector<uint8_t>& bytes, const FCImagePropertyList& properties);

// Adds every EXIF item of type ASCII, SHORT, LONG, RATIONAL or SRATIONAL of the image data to
// the list, under its tag.
void ReadExifProperties(const uint8_t* data, size_t size, FCImagePropertyList& properties);
