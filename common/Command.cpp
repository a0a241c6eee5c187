#include "common/Command.h"

#include <cstdio>
#include <cstring>

const char* ProjectVersion() { return D88ADPCM_VERSION; }

bool ArgReader::Next() {
  if (index_ + 1 >= argc_) return false;
  ++index_;
  const char* w = argv_[index_];
  inlineValue_ = nullptr;
  option_.clear();
  isOption_ = false;
  if (!optionsEnded_ && std::strcmp(w, "--") == 0) {
    optionsEnded_ = true;
    return Next();
  }
  if (optionsEnded_ || w[0] != '-' || w[1] == '\0') return true;
  isOption_ = true;
  option_ = w;
  const char* equals = std::strchr(w, '=');
  if (w[1] == '-' && equals != nullptr) {
    option_.assign(w, static_cast<size_t>(equals - w));
    inlineValue_ = equals + 1;
  }
  return true;
}

const char* ArgReader::TakeValue() {
  if (inlineValue_ != nullptr) return inlineValue_;
  if (index_ + 1 >= argc_) return nullptr;
  return argv_[++index_];
}

CommandAction ArgReader::CommonOption() const {
  if (!isOption_) return CommandAction::kRun;
  if (option_ == "-h" || option_ == "--help") return CommandAction::kHelp;
  if (option_ == "--version") return CommandAction::kVersion;
  return CommandAction::kRun;
}

int EndWithoutRun(const CommandInfo& command, CommandAction action, const std::string& problem, std::FILE* out,
                  std::FILE* err) {
  switch (action) {
    case CommandAction::kHelp:
      std::fputs(command.usage, out);
      std::fputs(command.options, out);
      return kExitDone;
    case CommandAction::kVersion:
      std::fprintf(out, "%s %s\n", command.name, ProjectVersion());
      return kExitDone;
    default:
      std::fprintf(err, "%s: %s\n%s", command.name, problem.c_str(), command.usage);
      return kExitUsageError;
  }
}

int FileError(const CommandInfo& command, const std::string& path, int error, std::FILE* err) {
  std::fprintf(err, "%s: %s: %s\n", command.name, path.c_str(), std::strerror(error));
  return kExitFileError;
}
