#include "d88ls/Listing.h"

#include "common/ShiftJis.h"

TextListing::TextListing(std::FILE* out) : out_(out) {}

void TextListing::Take(const WalkStep& step) {
  switch (step.kind) {
    case WalkStep::Kind::kImage:
      std::fprintf(out_, "%d disk%s\n", step.image->disks, step.image->disks == 1 ? "" : "s");
      break;
    case WalkStep::Kind::kDisk: {
      std::fprintf(out_, "%s\n", DiskHeading(*step.disk, NameForm::kShiftJis).c_str());
      const std::string table = TableNote(*step.disk);
      if (!table.empty()) std::fprintf(out_, "  %s\n", table.c_str());
      break;
    }
    case WalkStep::Kind::kTrack:
      Line(*step.track);
      break;
    case WalkStep::Kind::kDiskEnd:
      EndPastEnd();
      summaries_.push_back(PlanSummary(*step.disk));
      break;
    case WalkStep::Kind::kImageEnd:
      // The lines about the plan come last, a disk a line.
      for (const std::string& line : summaries_) std::fprintf(out_, "%s\n", line.c_str());
      break;
  }
}

void TextListing::Line(const TrackFacts& track) {
  // Consecutive tracks past the end of the file share a line; an absent
  // track or any other parts them.
  if (track.present && track.ending == TrackEnding::kPastFileEnd) {
    if (pastFirst_ < 0) pastFirst_ = track.track;
    pastLast_ = track.track;
    return;
  }
  EndPastEnd();
  if (!track.present) return;
  std::fprintf(out_, "  track %d: ", track.track);
  if (track.count > 0) {
    std::fprintf(out_, "%d record%s: ", track.count, track.count == 1 ? "" : "s");
    for (int32_t i = 0; i < track.runCount; ++i) {
      std::fprintf(out_, "%s%s", i == 0 ? "" : ", ", RunText(track, track.runs[i]).c_str());
    }
  }
  const std::string words = EndingWords(track);
  if (!words.empty()) std::fprintf(out_, "%s%s", track.count > 0 ? "; " : "", words.c_str());
  std::fputc('\n', out_);
}

// Writes the run of consecutive tracks past the end of the file, if any.
void TextListing::EndPastEnd() {
  if (pastFirst_ < 0) return;
  if (pastFirst_ == pastLast_) {
    std::fprintf(out_, "  track %d: past the end of the file\n", pastFirst_);
  } else {
    std::fprintf(out_, "  tracks %d-%d: past the end of the file\n", pastFirst_, pastLast_);
  }
  pastFirst_ = -1;
}

JsonListing::JsonListing(std::FILE* out, const std::string& path, const std::vector<std::string>& warnings)
    : json_(out), path_(path), warnings_(warnings) {}

void JsonListing::Take(const WalkStep& step) {
  switch (step.kind) {
    case WalkStep::Kind::kImage: return Open(*step.image);
    case WalkStep::Kind::kDisk: return DiskObject(*step.disk);
    case WalkStep::Kind::kTrack: return TrackObject(*step.track);
    case WalkStep::Kind::kDiskEnd: return PlanObject(*step.disk);
    case WalkStep::Kind::kImageEnd: return Close(*step.image);
  }
}

void JsonListing::Open(const ImageFacts& image) {
  json_.BeginObject(true);
  json_.Key("image");
  json_.String(path_.c_str());
  Int("file_size", static_cast<int64_t>(image.fileSize));
  json_.Key("disks");
  json_.BeginArray(true);
}

void JsonListing::DiskObject(const DiskFacts& disk) {
  json_.BeginObject(true);
  Int("index", disk.index);
  Int("offset", disk.offset);
  // The name decoded, or null where its bytes are no Shift_JIS; and the bytes.
  const uint8_t* name = reinterpret_cast<const uint8_t*>(disk.name.data());
  char decoded[kDiskNameSize * kUtf8PerShiftJisByte];
  const int64_t decodedLength = DecodeShiftJis(name, disk.name.size(), decoded, sizeof decoded);
  json_.Key("name");
  if (decodedLength >= 0) {
    json_.String(decoded, static_cast<size_t>(decodedLength));
  } else {
    json_.Null();
  }
  json_.Key("name_bytes");
  json_.HexString(name, disk.name.size());
  Int("media_type", disk.mediaType);
  json_.Key("media");
  const char* media = MediaName(disk.mediaType);
  if (media != nullptr) {
    json_.String(media);
  } else {
    json_.Null();
  }
  json_.Key("write_protected");
  json_.Bool(disk.writeProtected);
  Int("size", disk.size);
  Int("table_entries", disk.tableEntries);
  json_.Key("tracks");
  json_.BeginArray(true);
}

// A track that is there, with every field of every record.
void JsonListing::TrackObject(const TrackFacts& track) {
  if (!track.present) return;
  json_.BeginObject(true);
  Int("track", track.track);
  Int("entry", track.entry);
  Int("offset", track.start);
  json_.Key("end");
  json_.String(EndingName(track.ending));
  json_.Key("records");
  json_.BeginArray(true);
  for (int32_t i = 0; i < track.count; ++i) {
    const SectorRecord& rec = track.records[i];
    json_.BeginObject();
    const struct {
      const char* key;
      int64_t value;
    } fields[] = {{"offset", rec.offset},       {"c", rec.c},
                  {"h", rec.h},                 {"r", rec.r},
                  {"n", rec.n},                 {"count", rec.count},
                  {"data_size", rec.dataSize},  {"density", rec.density},
                  {"deleted", rec.deleted},     {"status", rec.status},
                  {"data_present", rec.dataPresent}};
    for (const auto& field : fields) Int(field.key, field.value);
    json_.EndObject();
  }
  json_.EndArray();
  json_.EndObject();
}

// Closes the disk's tracks, then its plan track by track.
void JsonListing::PlanObject(const DiskFacts& disk) {
  json_.EndArray();
  json_.Key("plan");
  json_.BeginObject(true);
  json_.Key("read_by_d88adpcm");
  json_.Bool(disk.read);
  json_.Key("complete");
  json_.Bool(disk.plan.complete);
  Int("sectors_per_track", kPlanSectors);
  json_.Key("tracks");
  json_.BeginArray(true);
  for (int32_t i = 0; i < kPlanTracks; ++i) {
    json_.BeginObject();
    Int("track", PlannedTrack(i));
    Int("sectors", disk.plan.sectors[i]);
    json_.EndObject();
  }
  json_.EndArray();
  json_.EndObject();
  json_.EndObject();
}

void JsonListing::Close(const ImageFacts& image) {
  json_.EndArray();
  json_.Key("extracted_disk");
  if (image.disks > 0) {
    json_.Int(0);
  } else {
    json_.Null();
  }
  json_.Key("warnings");
  json_.BeginArray(true);
  for (const std::string& line : warnings_) json_.String(line.c_str());
  json_.EndArray();
  json_.EndObject();
  json_.Finish();
}

void JsonListing::Int(const char* key, int64_t value) {
  json_.Key(key);
  json_.Int(value);
}
