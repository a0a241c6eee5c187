// eval_banks [SEEDS [v | clean | junk]]: how the search for sounds does on many
// banks of every layout and many pieces with no sound, made by the kit from
// seeds 1 to SEEDS (default 40), or FIRST-LAST. `v` lists every sound that
// did not come out alone and every false sound; `clean` lists the seeds
// whose banks came out whole. Per layout: the sounds found alone from their exact
// start with nothing audible lost, and those split, merged with a
// neighbour, started at a wrong address or missed; per kind of piece with
// no sound, the sounds reported in it (`junk`: those pieces alone, every
// false sound listed). Not a test: a measure to weigh a
// change of the rule by.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "kit/Banks.h"

using namespace testimage;

namespace {

// kTail: alone from the true start, but the sound's last bytes (13 at
// most) equal the fill after it and went with the fill.
enum Outcome { kAlone, kTail, kSplit, kMerged, kStartError, kMissed, kOutcomes };
const char* const kOutcomeNames[] = {"alone", "tail", "split", "merged", "start", "missed"};

Outcome Judge(const Bank& bank, size_t k, const SoundSearch& found, std::string* detail) {
  const ByteSpan& t = bank.sounds[k];
  const size_t audible = AudibleEnd(bank.ram, t);
  const size_t limit = k + 1 < bank.sounds.size() ? bank.sounds[k + 1].start : bank.ram.size();
  bool split = false, exact = false, merged = false, any = false, tail = false;
  for (const FoundSound& f : found.sounds) {
    const ByteSpan& s = f.span;
    if (s.end <= t.start || s.start >= audible) continue;
    any = true;
    if (s.start > t.start) split = true;
    if (s.start == t.start && s.end >= audible && s.end <= limit) exact = true;
    if (s.start == t.start && s.end < audible && audible - s.end <= 13) {
      tail = true;
      for (size_t i = s.end; i < t.end; ++i) tail = tail && bank.ram[i] == bank.ram[t.end];
    }
    if (s.end > limit && limit < bank.ram.size() && s.start <= t.start) merged = true;
    if (s.start < t.start && k > 0) merged = true;
    char text[96];
    std::snprintf(text, sizeof text, " found %05zX-%05zX", s.start, s.end);
    *detail += text;
  }
  if (!any) return kMissed;
  if (split) return kSplit;
  if (exact) return kAlone;
  if (merged) return kMerged;
  if (tail) return kTail;
  return kStartError;
}

// Per layout, how the sounds of the banks of seeds first to last came out.
void Banks(int first, int seeds, bool verbose) {
  std::printf("%-36s %6s", "layout", "sounds");
  for (int o = 0; o < kOutcomes; ++o) std::printf(" %7s", kOutcomeNames[o]);
  std::printf("  units 4/32/256\n");
  int totals[kOutcomes] = {0};
  int kindFails[static_cast<int>(SoundKind::kCount)] = {0}, kindCount[static_cast<int>(SoundKind::kCount)] = {0};
  for (int l = 0; l < static_cast<int>(Layout::kCount); ++l) {
    int counts[kOutcomes] = {0}, n = 0, units[3] = {0, 0, 0};
    for (int seed = first; seed <= seeds; ++seed) {
      const Bank bank = MakeBank(static_cast<Layout>(l), static_cast<uint64_t>(seed));
      const SoundSearch found = FindSounds(bank.ram.data(), bank.ram.size());
      ++units[found.unit == 4 ? 0 : found.unit == 32 ? 1 : 2];
      if (verbose) std::printf("  %s seed %d: unit %zu\n", LayoutName(static_cast<Layout>(l)), seed, found.unit);
      for (size_t k = 0; k < bank.sounds.size(); ++k) {
        std::string detail;
        const Outcome o = Judge(bank, k, found, &detail);
        ++counts[o];
        ++n;
        ++kindCount[static_cast<int>(bank.kinds[k])];
        if (o != kAlone) {
          ++kindFails[static_cast<int>(bank.kinds[k])];
          if (verbose) {
            std::printf("  %s seed %d sound %zu (%s) %05zX-%05zX: %s%s\n", LayoutName(static_cast<Layout>(l)), seed, k,
                        SoundKindName(bank.kinds[k]), bank.sounds[k].start, bank.sounds[k].end, kOutcomeNames[o], detail.c_str());
          }
        }
      }
    }
    std::printf("%-36s %6d", LayoutName(static_cast<Layout>(l)), n);
    for (int o = 0; o < kOutcomes; ++o) {
      std::printf(" %7d", counts[o]);
      totals[o] += counts[o];
    }
    std::printf("  %d/%d/%d\n", units[0], units[1], units[2]);
  }
  std::printf("%-36s %6s", "all", "");
  for (int o = 0; o < kOutcomes; ++o) std::printf(" %7d", totals[o]);
  std::printf("\n\n%-24s %8s %8s\n", "kind", "sounds", "failed");
  for (int k = 0; k < static_cast<int>(SoundKind::kCount); ++k) {
    std::printf("%-24s %8d %8d\n", SoundKindName(static_cast<SoundKind>(k)), kindCount[k], kindFails[k]);
  }
}

// Per kind of piece with no sound, the sounds reported in it.
void Pieces(int first, int seeds, bool verbose) {
  std::printf("%-20s %8s %14s %12s\n", "no sound", "pieces", "false sounds", "bytes out");
  static const size_t sizes[] = {1024, 4096, 16384, 65536, 0x40000};
  int falseTotal = 0;
  for (int j = 0; j < static_cast<int>(Junk::kCount); ++j) {
    int pieces = 0, falseSounds = 0;
    size_t out = 0;
    for (int seed = first; seed <= seeds; ++seed) {
      for (size_t size : sizes) {
        const BankBytes piece = MakeJunk(static_cast<Junk>(j), size, static_cast<uint64_t>(seed) * 8 + size % 7);
        const SoundSearch found = FindSounds(piece.data(), piece.size());
        ++pieces;
        falseSounds += static_cast<int>(found.sounds.size());
        out += found.notSoundBytes;
        if (verbose) {
          for (const FoundSound& f : found.sounds) {
            std::printf("  %s seed %d size %zu: %05zX-%05zX\n", JunkName(static_cast<Junk>(j)), seed, size, f.span.start, f.span.end);
          }
        }
      }
    }
    falseTotal += falseSounds;
    std::printf("%-20s %8d %14d %12zu\n", JunkName(static_cast<Junk>(j)), pieces, falseSounds, out);
  }
  std::printf("%-20s %8s %14d\n", "all", "", falseTotal);
}

}  // namespace

int main(int argc, char** argv) {
  // SEEDS is a count from 1, or a range FIRST-LAST.
  int first = 1, seeds = 40;
  if (argc > 1) {
    const char* dash = std::strchr(argv[1], '-');
    if (dash != nullptr) {
      first = std::atoi(argv[1]);
      seeds = std::atoi(dash + 1);
    } else {
      seeds = std::atoi(argv[1]);
    }
  }
  const bool verbose = argc > 2;
  const bool clean = argc > 2 && std::string(argv[2]) == "clean";
  const bool junkOnly = argc > 2 && std::string(argv[2]) == "junk";
  if (clean) {
    // The seeds whose banks come out whole, per layout.
    for (int l = 0; l < static_cast<int>(Layout::kCount); ++l) {
      std::printf("%s:", LayoutName(static_cast<Layout>(l)));
      for (int seed = first; seed <= seeds; ++seed) {
        const Bank bank = MakeBank(static_cast<Layout>(l), static_cast<uint64_t>(seed));
        const SoundSearch found = FindSounds(bank.ram.data(), bank.ram.size());
        bool all = true;
        for (size_t k = 0; k < bank.sounds.size(); ++k) {
          std::string detail;
          all = all && Judge(bank, k, found, &detail) == kAlone;
        }
        if (all) std::printf(" %d", seed);
      }
      std::printf("\n");
    }
    return 0;
  }
  if (!junkOnly) {
    Banks(first, seeds, verbose);
    std::printf("\n");
  }
  Pieces(first, seeds, verbose);
  return 0;
}
