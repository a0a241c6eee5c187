#include "d88ls/Listing.h"

#include "common/ShiftJis.h"

TextListing::TextListing(std::FILE* out) : out_(out) {}

void TextListing::BeginImage(const ImageFacts& image) {
  std::fprintf(out_, "%d disk%s\n", image.disks, image.disks == 1 ? "" : "s");
}

void TextListing::BeginDisk(const DiskFacts& disk) {
  std::fprintf(out_, "%s\n", DiskHeading(disk, NameForm::kShiftJis).c_str());
  const std::string table = TableNote(disk);
  if (!table.empty()) std::fprintf(out_, "  %s\n", table.c_str());
}

void TextListing::Track(const DiskFacts&, const TrackFacts& track) {
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

void TextListing::EndDisk(const DiskFacts& disk) {
  EndPastEnd();
  summaries_.push_back(PlanSummary(disk));
}

// The lines about the plan come last, a disk a line.
void TextListing::EndImage(const ImageFacts&) {
  for (const std::string& line : summaries_) std::fprintf(out_, "%s\n", line.c_str());
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

void JsonListing::BeginImage(const ImageFacts& image) {
  json_.BeginObject(true);
  json_.Key("image");
  json_.String(path_.c_str());
  Int("file_size", static_cast<int64_t>(image.fileSize));
  json_.Key("disks");
  json_.BeginArray(true);
}

void JsonListing::BeginDisk(const DiskFacts& disk) {
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
void JsonListing::Track(const DiskFacts&, const TrackFacts& track) {
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

void JsonListing::EndDisk(const DiskFacts& disk) {
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

void JsonListing::EndImage(const ImageFacts& image) {
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
