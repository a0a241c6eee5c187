// The shape that d88ls and adpcm2wav share (d88adpcm keeps the command line
// it always had):
//   -h, --help   the usage and the options on standard output, exit 0
//   --version    "NAME VERSION" on standard output, exit 0
//   a wrong command line: "NAME: what is wrong" and the usage line on
//                standard error, exit 2
//   a file that cannot be read or written: "NAME: PATH: reason", exit 1
// Long options take their value as --name=VALUE or as the next word; "--"
// ends the options, so that a file whose name begins with '-' can be named.
#ifndef COMMON_COMMAND_H_
#define COMMON_COMMAND_H_

#include <cstdio>
#include <string>

constexpr int kExitDone = 0;
constexpr int kExitFileError = 1;
constexpr int kExitUsageError = 2;

// What a command prints about itself.
struct CommandInfo {
  const char* name;     // "d88ls"
  const char* usage;    // "Usage: d88ls [--json] IMAGE\n"
  const char* options;  // the option list that --help prints after the usage
};

// The project's version, as the build was configured.
const char* ProjectVersion();

// What a parsed command line asks for.
enum class CommandAction { kRun, kHelp, kVersion, kUsageError };

// A command line read into a command's options.
template <typename Options>
struct CommandLine {
  CommandAction action = CommandAction::kRun;
  std::string problem;  // what is wrong, for kUsageError
  Options options;      // what to do, for kRun

  // Makes this line a usage error saying `what`.
  CommandLine& Fail(const std::string& what) {
    action = CommandAction::kUsageError;
    problem = what;
    return *this;
  }
};

// Reads a command line word by word.
class ArgReader {
 public:
  ArgReader(int argc, char** argv) : argc_(argc), argv_(argv) {}

  // Moves to the next word; false when there is none.
  bool Next();
  // The current word as given.
  const char* word() const { return argv_[index_]; }
  // True when the current word is an option: it begins with '-', is more
  // than "-" alone (standard input), and no "--" came before it.
  bool IsOption() const { return isOption_; }
  // The current option's name: the word, less any "=VALUE" of a long option.
  const std::string& option() const { return option_; }
  // Whether the option came as --name=VALUE.
  bool HasInlineValue() const { return inlineValue_ != nullptr; }
  // The current option's value, from "=VALUE" or else the next word (taken).
  // Null when there is none.
  const char* TakeValue();
  // --help, -h or --version as the current option; kRun for any other word.
  CommandAction CommonOption() const;

 private:
  int argc_;
  char** argv_;
  int index_ = 0;
  bool optionsEnded_ = false;
  bool isOption_ = false;
  std::string option_;
  const char* inlineValue_ = nullptr;
};

// Ends a command that does not run: prints the help, the version or the
// usage error `problem` as the shape above says, and returns the exit code.
// Help and version go to `out`, the usage error to `err`.
int EndWithoutRun(const CommandInfo& command, CommandAction action, const std::string& problem,
                  std::FILE* out = stdout, std::FILE* err = stderr);

// "NAME: PATH: reason" on `err` for the C library's error number `error`;
// returns kExitFileError.
int FileError(const CommandInfo& command, const std::string& path, int error, std::FILE* err = stderr);

#endif  // COMMON_COMMAND_H_
