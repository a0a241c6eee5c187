// The command lines of d88ls and adpcm2wav: read into their structs
// in-process, and the shape both share as a user meets it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "adpcm2wav/Options.h"
#include "d88ls/ListCommand.h"
#include "tests/ProgramRun.h"

using testutil::Text;

namespace {

// argv for a parser: the program's name, then `args`.
class Argv {
 public:
  explicit Argv(const std::vector<std::string>& args) : words_(args) {
    words_.insert(words_.begin(), "program");
    for (std::string& w : words_) pointers_.push_back(&w[0]);
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> pointers_;
};

Adpcm2WavCommandLine ParseWav(const std::vector<std::string>& args) {
  Argv a(args);
  return ParseAdpcm2WavOptions(a.argc(), a.argv());
}

ListCommandLine ParseList(const std::vector<std::string>& args) {
  Argv a(args);
  return ParseListOptions(a.argc(), a.argv());
}

TEST(Adpcm2WavOptions, WrongCommandLinesSayWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    std::string problem;
  } cases[] = {
      {{}, "no IMAGE"},
      {{"ADPCM", "other"}, "one IMAGE only"},
      {{"-x", "ADPCM"}, "unknown option -x"},
      {{"--rate-of=5", "ADPCM"}, "unknown option --rate-of"},
      // Only long options take "=VALUE"; a short one is a word of its own.
      {{"-r=8000", "ADPCM"}, "unknown option -r=8000"},
      {{"-r", "16k", "ADPCM"}, "not a number: 16k"},
      {{"-r", "-5", "ADPCM"}, "not a number: -5"},
      {{"-r", "18446744073709551617", "ADPCM"}, "not a number: 18446744073709551617"},
      {{"-r", "0x", "ADPCM"}, "not a number: 0x"},
      {{"-r", "0", "ADPCM"}, "the rate must be 1 to 1000000 Hz"},
      {{"-r", "1000001", "ADPCM"}, "the rate must be 1 to 1000000 Hz"},
      {{"--delta-n", "0x10000", "ADPCM"}, "delta-N must be 1 to 65535: 0x10000"},
      {{"--delta-n", "0", "ADPCM"}, "delta-N must be 1 to 65535: 0"},
      {{"-r", "8000", "--delta-n", "9452", "ADPCM"}, "give the rate once, with -r or --delta-n"},
      {{"--min-gap", "0", "ADPCM"}, "not a gap length: 0"},
      {{"--list", "--whole", "ADPCM"}, "choose one of --list, --range, --ranges and --whole"},
      {{"--whole", "--range", "1:2", "ADPCM"}, "choose one of --list, --range, --ranges and --whole"},
      {{"--range", "10", "ADPCM"}, "not a range START:END: 10"},
      {{"--ranges", "list.txt", "--list", "ADPCM"}, "choose one of --list, --range, --ranges and --whole"},
      {{"--ranges", "", "ADPCM"}, "--ranges needs a file name"},
      {{"--range", "1:", "ADPCM"}, "not a range START:END: 1:"},
      {{"-o", "", "ADPCM"}, "-o needs a prefix"},
      {{"--svg", "", "ADPCM"}, "--svg needs a file name"},
      {{"--svg"}, "--svg needs a value"},
      {{"ADPCM", "-r"}, "-r needs a value"},
      {{"--list=yes", "ADPCM"}, "--list takes no value"},
      {{"--list", "--svg", "map.svg", "ADPCM"}, "--list writes nothing; leave out --svg"},
      {{"--json", "ADPCM"}, "--json goes with --list"},
      {{"--whole", "--json", "ADPCM"}, "--json goes with --list"},
      // Hexadecimal digits only after 0x.
      {{"-r", "80a0", "ADPCM"}, "not a number: 80a0"},
      {{"--range", "10:2f", "ADPCM"}, "not a range START:END: 10:2f"},
  };
  for (const auto& c : cases) {
    const Adpcm2WavCommandLine line = ParseWav(c.args);
    EXPECT_EQ(line.action, CommandAction::kUsageError) << c.problem;
    EXPECT_EQ(line.problem, c.problem);
  }
}

// The address unit the search lays its starts on: the user's, or (0) the
// search's own reading of the image.
TEST(Adpcm2WavOptions, TheUnitIsOneTheChipHas) {
  const struct {
    std::vector<std::string> args;
    size_t unit;
    std::string problem;
  } cases[] = {
      {{"ADPCM"}, 0, ""},
      {{"--unit", "4", "ADPCM"}, 4, ""},
      {{"--unit=32", "ADPCM"}, 32, ""},
      {{"--unit", "0x100", "ADPCM"}, 256, ""},
      {{"--unit", "0", "ADPCM"}, 0, "the unit must be 4, 32 or 256: 0"},
      {{"--unit", "16", "ADPCM"}, 0, "the unit must be 4, 32 or 256: 16"},
      {{"--unit", "512", "ADPCM"}, 0, "the unit must be 4, 32 or 256: 512"},
      {{"--unit", "32k", "ADPCM"}, 0, "the unit must be 4, 32 or 256: 32k"},
      {{"ADPCM", "--unit"}, 0, "--unit needs a value"},
  };
  for (const auto& c : cases) {
    const Adpcm2WavCommandLine line = ParseWav(c.args);
    EXPECT_EQ(line.problem, c.problem) << c.args[1];
    if (c.problem.empty()) {
      EXPECT_EQ(line.options.unit, c.unit) << c.args[1];
    }
  }
}

TEST(Adpcm2WavOptions, ValuesAreReadAsGiven) {
  const struct {
    std::vector<std::string> args;
    uint32_t rate;
    WavMode mode;
    uint64_t rangeStart, rangeEnd;
    std::string prefix, svg, image;
  } cases[] = {
      {{"ADPCM"}, 15974, WavMode::kSounds, 0, 0, "", "", "ADPCM"},
      {{"-r", "1000000", "ADPCM"}, 1000000, WavMode::kSounds, 0, 0, "", "", "ADPCM"},
      {{"-r", "1", "ADPCM"}, 1, WavMode::kSounds, 0, 0, "", "", "ADPCM"},
      // Upper-case 0X is hexadecimal too, as C reads it.
      {{"--delta-n", "0X49BA", "ADPCM"}, 15974, WavMode::kSounds, 0, 0, "", "", "ADPCM"},
      {{"--delta-n=9452", "ADPCM"}, 8000, WavMode::kSounds, 0, 0, "", "", "ADPCM"},
      {{"--rate=0x1F40", "--list", "ADPCM"}, 8000, WavMode::kList, 0, 0, "", "", "ADPCM"},
      {{"--range=0x10:0X20", "-o", "part", "ADPCM"}, 15974, WavMode::kRange, 16, 32, "part", "", "ADPCM"},
      {{"--whole", "--svg=map.svg", "ADPCM"}, 15974, WavMode::kWhole, 0, 0, "", "map.svg", "ADPCM"},
      // "-" alone is a name, and after "--" so is anything else.
      {{"-"}, 15974, WavMode::kSounds, 0, 0, "", "", "-"},
      {{"-o", "x", "--", "-r"}, 15974, WavMode::kSounds, 0, 0, "x", "", "-r"},
  };
  for (const auto& c : cases) {
    const Adpcm2WavCommandLine line = ParseWav(c.args);
    ASSERT_EQ(line.action, CommandAction::kRun) << line.problem;
    const Adpcm2WavOptions& o = line.options;
    EXPECT_EQ(o.rate, c.rate) << c.args[0];
    EXPECT_EQ(o.mode, c.mode) << c.args[0];
    EXPECT_EQ(o.rangeStart, c.rangeStart);
    EXPECT_EQ(o.rangeEnd, c.rangeEnd);
    EXPECT_EQ(o.prefix, c.prefix);
    EXPECT_EQ(o.svg, c.svg);
    EXPECT_EQ(o.image, c.image);
  }
}

TEST(ListOptions, ReadAsGivenOrSayWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    CommandAction action;
    std::string problem;
    bool json;
    std::string image;
  } cases[] = {
      {{"game.d88"}, CommandAction::kRun, "", false, "game.d88"},
      {{"--json", "game.d88"}, CommandAction::kRun, "", true, "game.d88"},
      {{"--", "--json"}, CommandAction::kRun, "", false, "--json"},
      {{}, CommandAction::kUsageError, "no IMAGE", false, ""},
      {{"a.d88", "b.d88"}, CommandAction::kUsageError, "one IMAGE only", false, ""},
      {{"--bogus", "a.d88"}, CommandAction::kUsageError, "unknown option --bogus", false, ""},
      {{"--json=yes", "a.d88"}, CommandAction::kUsageError, "--json takes no value", false, ""},
      {{"--help", "--bogus"}, CommandAction::kHelp, "", false, ""},
      {{"a.d88", "-h"}, CommandAction::kHelp, "", false, ""},
      {{"--version"}, CommandAction::kVersion, "", false, ""},
  };
  for (const auto& c : cases) {
    const ListCommandLine line = ParseList(c.args);
    EXPECT_EQ(line.action, c.action) << c.problem;
    EXPECT_EQ(line.problem, c.problem);
    if (c.action == CommandAction::kRun) {
      EXPECT_EQ(line.options.json, c.json);
      EXPECT_EQ(line.options.image, c.image);
    }
  }
}

// Both commands, as programs: the shape every command but d88adpcm has.
class CommandShape : public ProgramRun {};

TEST_F(CommandShape, HelpVersionUsageAndFileErrorsAlike) {
  ASSERT_TRUE(testutil::MakeDir(dir.File("folder")));
  const struct {
    const char* program;
    const CommandInfo* info;
  } commands[] = {{D88LS_PATH, &kD88ls}, {ADPCM2WAV_PATH, &kAdpcm2Wav}};
  for (const auto& command : commands) {
    const std::string name = command.info->name;
    const std::string usage = command.info->usage;
    EXPECT_EQ(usage.compare(0, 7 + name.size(), "Usage: " + name), 0);
    const struct {
      std::vector<std::string> args;
      int exitCode;
      std::string out, err;
    } cases[] = {
        {{"--help"}, 0, usage + command.info->options, ""},
        {{"-h"}, 0, usage + command.info->options, ""},
        {{"--version"}, 0, name + " " PROJECT_VERSION_TEXT "\n", ""},
        {{"--bogus", "x"}, 2, "", name + ": unknown option --bogus\n" + usage},
        {{}, 2, "", name + ": no IMAGE\n" + usage},
        {{"missing"}, 1, "", name + ": missing: No such file or directory\n"},
        // Read as a file, a folder is "Is a directory" on every platform.
        {{"folder"}, 1, "", name + ": folder: Is a directory\n"},
    };
    for (const auto& c : cases) {
      const testutil::ProcessResult r = Run(command.program, name, c.args);
      const std::string what = name + " " + (c.args.empty() ? "" : c.args[0]);
      EXPECT_EQ(r.exitCode, c.exitCode) << what;
      EXPECT_EQ(r.out, Text(c.out)) << what;
      EXPECT_EQ(r.err, Text(c.err)) << what;
    }
  }
}

}  // namespace
