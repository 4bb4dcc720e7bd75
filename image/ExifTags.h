// The EXIF property items that travel in an image property list, written into and read from
// image files with exiv2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/ImagePropertyList.h"

// Writes the pairs of the list whose keys are in the EXIF tag table into the file at `path`
// (JPEG, PNG or TIFF). Pairs with other keys, and rationals without "/", are skipped.
// False when the file cannot be rewritten or does not hold every item afterwards.
bool WriteExifProperties(const std::string& path, const FCImagePropertyList& properties);

// Adds every EXIF item of type ASCII, SHORT, LONG, RATIONAL or SRATIONAL of the image data to
// the list, under its tag.
void ReadExifProperties(const uint8_t* data, size_t size, FCImagePropertyList& properties);
