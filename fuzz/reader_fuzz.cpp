// The reader on any image: every disk selected (and some out of range),
// sector lookups, runs and listings with arguments from the input, each
// checked against the plain model of the format, byte for byte, with guard
// bytes past every destination that must stay untouched.
//
// Input: kReaderArgBytes of arguments, then the image.
#include <climits>
#include <cstring>
#include <vector>

#include "d88/D88File.h"
#include "fuzz/FuzzSupport.h"
#include "kit/ReferenceReader.h"

namespace {

using fuzzing::Check;

constexpr uint8_t kGuard = 0xEE;
constexpr size_t kGuardBytes = 32;

// A destination of `length` bytes plus guard bytes.
std::vector<uint8_t> Dest(int32_t length) {
  return std::vector<uint8_t>(static_cast<size_t>(length > 0 ? length : 0) + kGuardBytes, kGuard);
}

void CheckGuard(const std::vector<uint8_t>& dest, int32_t length) {
  for (size_t i = static_cast<size_t>(length > 0 ? length : 0); i < dest.size(); ++i) Check(dest[i] == kGuard);
}

// One query drawn from the arguments: a sector, a run or a listing of IDs or
// of records, checked
// against the model; with `closed`, against the promise that nothing is read.
void Query(fuzzing::Args& args, D88File& d88, ReferenceReader& model, bool closed) {
  const int32_t kind = args.Byte() % 4;
  const int32_t track = args.Near(kMaxTracks);
  const bool honest = args.Byte() & 1;
  const int32_t c = honest ? track >> 1 : args.Near(256);
  const int32_t h = honest ? track & 1 : args.Near(2);
  const int32_t r = args.Near(32);
  const int32_t n = args.Near(4);
  // Lengths up to 16 KiB, so runs cross tracks; huge ones are capped to what
  // a destination can hold here.
  int32_t length = args.Length(64);
  if (length > (1 << 16)) length = 1 << 16;
  std::vector<uint8_t> got = Dest(length), want = Dest(length);
  int32_t result, expected;
  if (kind == 0) {
    result = d88.ReadSector(track, c, h, r, n, got.data(), length);
    expected = model.ReadSector(track, c, h, r, n, want.data(), length);
  } else if (kind == 1) {
    result = d88.ReadSectors(track, c, h, r, n, got.data(), length);
    expected = model.ReadSectors(track, c, h, r, n, want.data(), length);
  } else if (kind == 2) {
    result = d88.ReadIds(track, got.data(), length);
    expected = model.ReadIds(track, want.data(), length);
    Check(result % 4 == 0);
  } else {
    // Room for length / 64 records, so that some listings fill it.
    const int32_t room = length > 0 ? length / 64 : 0;
    std::vector<SectorRecord> gotRecords(static_cast<size_t>(room)), wantRecords(gotRecords.size());
    const RecordListing listing = d88.ReadRecords(track, gotRecords.data(), room);
    const RecordListing modelListing = model.ReadRecords(track, wantRecords.data(), room);
    Check(listing.records >= 0 && listing.records <= room);
    if (closed) {
      Check(listing.records == 0 && listing.end == WalkEnd::kNoTrack);
      return;
    }
    Check(listing.records == modelListing.records && listing.end == modelListing.end);
    for (size_t i = 0; i < static_cast<size_t>(listing.records); ++i) Check(SameRecord(gotRecords[i], wantRecords[i]));
    return;
  }
  if (closed) {
    Check(result == 0);
    CheckGuard(got, 0);
    return;
  }
  Check(result == expected && result >= 0 && (length <= 0 ? result == 0 : result <= length));
  CheckGuard(got, length);
  Check(got == want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::Args args(data, size < fuzzing::kReaderArgBytes ? size : fuzzing::kReaderArgBytes);
  const std::vector<uint8_t> image(data + (size < fuzzing::kReaderArgBytes ? size : fuzzing::kReaderArgBytes), data + size);
  const std::string path = fuzzing::WriteImage(image.data(), image.size());

  D88File d88;
  Check(d88.GetDiskCount() == 0 && d88.GetMediaType() == -1 && d88.GetDiskName()[0] == '\0');
  Check(d88.Open(path.c_str()));
  ReferenceReader model(image);
  Check(d88.GetDiskCount() == model.diskCount && model.diskCount <= kMaxDisks);

  if (args.Byte() & 1) {
    const int32_t first = args.Near(30), last = args.Near(30);
    d88.SetSectorRange(first, last);
    model.firstSector = first;
    model.lastSector = last;
  }
  // Disks -1 to diskCount: every real one and one on either side. Queries
  // follow one another across selections, so a search must never outlive
  // its call.
  for (int32_t disk = -1; disk <= d88.GetDiskCount(); ++disk) {
    const bool selected = d88.SelectDisk(disk);
    Check(selected == model.SelectDisk(disk));
    Check(std::strlen(d88.GetDiskName()) <= 16);
    Check(selected ? d88.GetMediaType() >= 0 && d88.GetMediaType() <= 255 : d88.GetMediaType() == -1);
    for (int query = 0; query < 4; ++query) Query(args, d88, model, false);
  }
  // Back to disk 0, then across a close and a reopen of the same file: the
  // disk members outlive both, and nothing is read while the file is closed.
  Check(d88.SelectDisk(0) == model.SelectDisk(0));
  Query(args, d88, model, false);
  Check(d88.Open(nullptr) && d88.GetDiskCount() == 0 && d88.GetMediaType() == -1);
  Query(args, d88, model, true);
  Check(d88.Open(path.c_str()) && d88.GetDiskCount() == model.diskCount);
  Query(args, d88, model, false);
  Query(args, d88, model, false);
  return 0;
}
