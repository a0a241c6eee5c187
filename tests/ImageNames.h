// The kit's image builder by its short names, for the tests that build D88
// images in code.
#ifndef TESTS_IMAGENAMES_H_
#define TESTS_IMAGENAMES_H_

#include "kit/ImageBuilder.h"

using testimage::Bytes;
using testimage::Concat;
using testimage::Disk;
using testimage::MakeRecord;
using testimage::Record;
using testimage::SectorData;
using testimage::Slice;
using testimage::Standard2HD;
using testimage::StandardTrack;

#endif  // TESTS_IMAGENAMES_H_
