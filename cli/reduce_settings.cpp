#include "cli/reduce_settings.h"

#include <algorithm>
#include <cctype>

#include "files/paths.h"

namespace lumatrim::cli {

namespace {

bool EndsWithGif(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ending = path.substr(path.size() - 4);
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return ending == ".gif";
}

}  // namespace

DestinationKind DestinationOf(const ReduceSettings& settings) {
  if (settings.inPlace) return DestinationKind::InPlace;
  if (settings.outputFolder == kStandardStream) return DestinationKind::StandardOutput;
  // A path ending in .gif that is not a folder names the output file.
  if (EndsWithGif(settings.outputFolder) && KindOf(settings.outputFolder) != PathKind::Folder) {
    return DestinationKind::File;
  }
  return DestinationKind::Folder;
}

std::string OutputFolderOf(const ReduceSettings& settings) {
  return settings.outputFolder.empty() ? "." : settings.outputFolder;
}

std::string OptionClash(const ReduceSettings& settings) {
  // Replacing the inputs and writing elsewhere exclude each other, whatever -o names.
  if (settings.inPlace && !settings.outputFolder.empty()) {
    return "--in-place and -o exclude each other";
  }
  if (settings.inPlace && settings.allowLarger) {
    return "--in-place and --allow-larger exclude each other";
  }
  if (settings.inPlace && settings.noClobber) {
    return "--in-place and --no-clobber exclude each other";
  }
  if (settings.inPlace && settings.suffix != kReducedSuffix) {
    return "--in-place and --suffix exclude each other";
  }
  if (settings.skipReduced && settings.suffix.empty()) {
    return "--skip-reduced and an empty --suffix exclude each other";
  }
  if (settings.preserveTimes && !settings.inPlace) return "--preserve-times needs --in-place";
  if (settings.nulSeparated && settings.fromList.empty()) return "-0 needs --from-list";
  const auto stdinPaths = std::count(settings.paths.begin(), settings.paths.end(), kStandardStream);
  if (stdinPaths + (settings.fromList == kStandardStream ? 1 : 0) > 1) {
    return "standard input can be read only once";
  }
  if (stdinPaths > 0 && settings.inPlace) return "standard input can't be replaced in place";
  if (settings.outputFolder == kStandardStream && settings.standardOutputIsTerminal) {
    return "-o - writes GIF data, which a terminal can't show: redirect standard output to a "
           "file or a pipe";
  }
  return {};
}

}  // namespace lumatrim::cli
