#!/usr/bin/env bash
# Puts small deliberate faults (mutants) into the reader, the tools and the
# audio code, one at a time, and runs the test suite against each: a mutant
# the suite survives points at a check that is missing. Prints one line a
# mutant and the count caught. Run by hand: bash scripts/mutants.sh
# It works in a scratch copy of the tree; the working tree is not touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# file | text as it stands | what it becomes (first occurrence only; \n is a
# line break)
cat > "$work/mutants.txt" <<'LIST'
d88/D88File.cpp | if (!search.underWay || track != search.track | if (track != search.track
d88/D88File.cpp |   search.underWay = false; |   search.track = -1;
d88/D88File.cpp | if (walk.record == count - 1) { | if (walk.record == count) {
d88/D88File.cpp | ++walk.record == kMaxRecordsPerTrack | ++walk.record > kMaxRecordsPerTrack
d88/D88File.cpp | if (count == 0 && zeroCountEnds) { | if (count == 0 && !zeroCountEnds) {
d88/D88File.cpp | if (entry == 0 || entry > diskSize) return -1; | if (entry == 0 || entry >= diskSize) return -1;
d88/D88File.cpp | track >= tableEntries) return -1; | track >= kMaxTracks) return -1;
d88/D88File.cpp | >= firstRecords) { | > firstRecords) {
d88/D88File.cpp | mediaType = header[kMediaTypeOffset]; | mediaType = header[kMediaTypeOffset - 1];
d88/D88File.cpp | windowAtEnd = windowLength < kWindowSize; | windowAtEnd = false;
d88/D88File.cpp | if (maxLength < 0) return 0;\n  ForgetReads(); | if (maxLength < 0) return 0;
d88/D88File.cpp | if (r == lastSector) { | if (r >= lastSector) {
d88/D88File.cpp |       r = firstSector; |       r = 1;
d88/D88File.cpp | walk.next >= diskEnd || walk.next >= trackEnd) { | walk.next >= diskEnd || walk.next > trackEnd) {
d88/D88File.cpp | if (other > entry && other <= diskSize | if (other >= entry && other <= diskSize
d88/D88File.cpp | if (record.dataPresent < record.dataSize) { | if (record.dataPresent + 1 < record.dataSize) {
d88/D88File.cpp | while (length < kDiskNameSize && field[length] != 0) ++length; | while (length <= kDiskNameSize && field[length] != 0) ++length;
tool/Tool.cpp | if (offset < 0 || length < 0 || offset > kBufferSize - length) return false; | if (offset < 0 || offset > kBufferSize - length) return false;
tool/Tool.cpp | if (offset < 0 || length < 0 || offset > kBufferSize - length) return false; | if (offset < 0 || length < 0 || offset + length > kBufferSize) return false;
tool/Tool.cpp | if (std::fclose(g_out) != 0 && result.step == nullptr) | if (std::fclose(g_out) != 0 && false)
tool/Tool.cpp |   std::fflush(stdout); | 
tool/Tool.cpp | if (g_d88.ReadSectors(track, c, h, r, n, g_buffer, offset + length) == 0) return false; | g_d88.ReadSectors(track, c, h, r, n, g_buffer, offset + length);
d88ls/ImageWalk.cpp | recs[j].n == first.n && | true &&
d88ls/ImageWalk.cpp | code < 0x20 || code == 0x7F || | code < 0x20 ||
d88ls/ImageWalk.cpp | return disk.tableEntries < kMaxTracks ? | return false ?
d88ls/ImageWalk.cpp |  && SameMarks(recs[j], first) | 
d88ls/ImageWalk.cpp | next >= fileSize ? TrackEnding::kFileEndsAfterRecord | next > fileSize ? TrackEnding::kFileEndsAfterRecord
d88ls/ImageWalk.cpp | >= fileSize ? TrackEnding::kPastFileEnd | > fileSize ? TrackEnding::kPastFileEnd
d88ls/Listing.cpp |     EndPastEnd();\n    if (!track.present) return; |     if (!track.present) return;\n    EndPastEnd();
d88ls/ImageWalk.cpp | while (j < kPlanTracks && plan.sectors[j] == plan.sectors[i]) ++j; | while (j < kPlanTracks && plan.sectors[j] != kPlanSectors) ++j;
d88ls/ImageWalk.cpp | d88.trackOffsets[t] >= tableEnd && d88.trackOffsets[t] < d88.diskSize | d88.trackOffsets[t] != 0 && d88.trackOffsets[t] <= d88.diskSize
d88ls/ImageWalk.cpp | d88.diskSize > held) { | d88.diskSize > held + 1) {
common/Json.cpp | if (code >= 0x20 && code < 0x7F) { | if (code >= 0x20) {
common/Text.cpp | if (code < least || | if (
common/ShiftJis.cpp |   if (pair == 0) return -1; | 
adpcm/AdpcmB.cpp | {57, 57, 57, 57, 77, 102, 128, 153} | {57, 57, 57, 57, 77, 102, 128, 154}
adpcm/AdpcmB.cpp | decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4)) | decoder.Decode(static_cast<uint8_t>(bytes[i] & 0x0F))
adpcm/AdpcmB.cpp | step = Clamp((step * kScale[magnitude]) >> 6, 127, 24576); | step = Clamp((step * kScale[magnitude]) >> 6, 127, 24575);
adpcm/AdpcmB.h | (kClock * deltaN + kDivisor / 2) / kDivisor | (kClock * deltaN) / kDivisor
adpcm/Wav.cpp | PutLE32(out + 28, rate * channels * bytesPerSample); | PutLE32(out + 28, rate * channels);
adpcm/Sounds.cpp | constexpr size_t kOtherFillRun = 32; | constexpr size_t kOtherFillRun = 8;
adpcm/Sounds.cpp | constexpr size_t kMinSound = 64; | constexpr size_t kMinSound = 8;
adpcm/Sounds.cpp | constexpr int64_t kMaxLevel = 8000; | constexpr int64_t kMaxLevel = 30000;
adpcm/Sounds.cpp | constexpr size_t kMaxClampPercent = 3; | constexpr size_t kMaxClampPercent = 50;
adpcm/Sounds.cpp | constexpr size_t kMinHalfRisePercent = 10; | constexpr size_t kMinHalfRisePercent = 0;
adpcm/Sounds.cpp | constexpr size_t kMaxSamePercent = 60; | constexpr size_t kMaxSamePercent = 100;
adpcm/Sounds.cpp | constexpr int64_t kOnsetLevel = 300; | constexpr int64_t kOnsetLevel = 30000;
adpcm/Sounds.cpp | constexpr size_t kSilenceRun = 8; | constexpr size_t kSilenceRun = 100000;
adpcm/Sounds.cpp | constexpr int64_t kJump = 1000; | constexpr int64_t kJump = 100000;
common/Files.cpp | if (error != 0) std::remove(temporary.c_str()); | 
common/Files.cpp |   if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno; | 
common/Files.cpp |     error = EISDIR; |     error = 0;
common/Command.cpp |       return kExitUsageError; |       return kExitFileError;
common/Command.cpp |   if (!optionsEnded_ && std::strcmp(w, "--") == 0) { |   if (false) {
common/Command.cpp |   if (w[1] == '-' && equals != nullptr) { |   if (equals != nullptr) {
common/Command.cpp |   if (option_ == "-h" || option_ == "--help") return CommandAction::kHelp; |   if (option_ == "--help") return CommandAction::kHelp;
d88/D88File.cpp |   writeProtected = false;\n | \n
d88/D88File.cpp |   tableEntries = 0;\n | \n
adpcm2wav/Ranges.cpp | if (end > imageSize) return range | if (end > imageSize + 1) return range
adpcm2wav/Convert.cpp | if (options.mode != WavMode::kList) { | if (true) {
adpcm2wav/Options.cpp |     if (v > (UINT64_MAX - digit) / base) return false; | 
adpcm2wav/Options.cpp |       if (number < 1 || number > kMaxRate) return fail | if (number < 1 || number > kMaxRate + 1) return fail
adpcm2wav/Options.cpp |       if (*value == '\0') return fail("-o needs a prefix"); | 
adpcm2wav/Options.cpp |     } else if (base == 16 && ch >= 'A' && ch <= 'F') { |     } else if (false) {
adpcm2wav/Options.cpp |   if (o.mode == WavMode::kList && !o.svg.empty()) return fail | if (false) return fail
adpcm2wav/Options.cpp |       if (modeGiven) return fail | if (false) return fail
adpcm2wav/Table.cpp |   if (db > -0.05) db = 0.0; | 
adpcm2wav/Table.cpp |     const int32_t level = samples[i] < 0 ? -static_cast<int32_t>(samples[i]) : samples[i]; |     const int32_t level = samples[i];
adpcm2wav/Ranges.cpp | if (start >= end) return range | if (start > end) return range
adpcm2wav/Ranges.cpp |     if (!line.empty() && line.back() == '\r') line.pop_back(); | 
adpcm2wav/Ranges.cpp | std::prev(it)->second.first > start) other | std::prev(it)->second.first > start + 1) other
adpcm2wav/Ranges.cpp | if (other == 0 || it->second.second < other) other | if (other == 0) other
adpcm2wav/Ranges.cpp |     if (hash != std::string::npos) line.resize(hash); | 
d88ls/ListCommand.cpp |   if (S_ISDIR(info.st_mode)) return EISDIR; | 
adpcm2wav/Picture.cpp |   const size_t rows = size == 0 ? 1 : (size + perRow - 1) / perRow; |   const size_t rows = size == 0 ? 1 : size / perRow + 1;
adpcm2wav/Picture.cpp |     const int used = static_cast<int>((last - first + perColumn - 1) / perColumn); |     const int used = static_cast<int>((last - first) / perColumn);
adpcm2wav/Picture.cpp | middle - hi * scale, middle - lo * scale + 0.5); | middle + hi * scale, middle + lo * scale + 0.5);
adpcm2wav/Picture.cpp |   svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"22\" font-size=\"14\">" + XmlText(title) | svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"22\" font-size=\"14\">" + (title)
adpcm2wav/Picture.cpp |   for (const ByteSpan& s : found.notSound) shade(s, | for (const ByteSpan& s : std::vector<ByteSpan>()) shade(s,
adpcm2wav/Table.cpp |     json.Int(row.peak); |     json.Int(row.peak + 1);
adpcm2wav/Convert.cpp |     for (size_t k = 0; k < jobs.size(); ++k) jobs[k].row.ending = SoundEndName(found.sounds[k].end); | 
adpcm2wav/Convert.cpp |   if (searched) PrintLeftOut(out, found.notSoundBytes);\n  return kExitDone;\n} |   return kExitDone;\n}
common/Json.cpp |   if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) { |   if (false) {
common/Text.cpp |       case '&': out += "&amp;"; continue; | 
common/Text.cpp |     if (code == 0xFFFE || code == 0xFFFF) code = kReplacementCharacter; | 
LIST

git ls-files -z | xargs -0 -I{} cp --parents {} "$work"
# With UndefinedBehaviorSanitizer, as CI runs the suite too: a fault that
# only overflows is caught there.
cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="-fsanitize=undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=undefined >/dev/null
cmake --build "$work/build" >/dev/null

python3 - "$work" <<'PY'
import subprocess, sys
work = sys.argv[1]
caught = total = 0
for line in open(f"{work}/mutants.txt"):
    if not line.strip():
        continue
    # A mutant that deletes its text may end in " |" with nothing after it.
    parts = line.rstrip("\n").rstrip(" ").split(" | ", 2)
    if len(parts) == 2 and parts[1].endswith(" |"):
        parts = [parts[0], parts[1][:-2], ""]
    file, old, new = (part.replace("\\n", "\n") for part in parts)
    path = f"{work}/{file}"
    original = open(path).read()
    if old not in original:
        sys.exit(f"mutant not applicable in {file}: {old!r}")
    open(path, "w").write(original.replace(old, new, 1))
    total += 1
    if subprocess.run(["cmake", "--build", f"{work}/build"], capture_output=True).returncode != 0:
        verdict = "does not build"
    elif subprocess.run(["timeout", "600", "./tests/d88_tests", "--gtest_brief=1"], cwd=f"{work}/build",
                        capture_output=True).returncode == 0:
        verdict = "SURVIVED"
    else:
        verdict = "caught"
        caught += 1
    print(f"{verdict:16} {file:22} {old}", flush=True)
    open(path, "w").write(original)
print(f"{caught} of {total} mutants caught")
PY
