// The names of a run's outputs, and the rules of a whole run that keep one file's output from
// replacing another's output or an input.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumatrim {

// What an output's name adds to its input's: the window's fixed "-reduced", the command line's
// default.
inline constexpr const char* kReducedSuffix = "-reduced";

// The output file name for an input path: the file name (after the last separator) without its
// last "." and what follows, then the suffix and ".gif". A name without a dot keeps all of it.
std::string ReducedFileName(std::string_view inputPath, char separator = '/',
                            std::string_view suffix = kReducedSuffix);

// The output folder text verbatim, a separator, and the output file name.
std::string ReducedOutputPath(std::string_view inputPath, std::string_view outputFolder,
                              char separator = '/', std::string_view suffix = kReducedSuffix);

// Where one input of a run goes, decided for the whole run before any file is written.
struct PlannedOutput {
  std::string path;
  // Why this input's output may not be written; empty when it may.
  std::string refusal;
};

// The outputs of a run claimed one input at a time, for a run whose list may change while it goes
// (the window's list can be reordered and grown during a run). A claim is refused when its output
// would replace one of the run's inputs ("would replace an input of this run") or when an earlier
// claim has the same output ("same output name as " and that input, as in x/a.gif and y/a.gif, or
// a.gif and a.GIF). The first claim of an output keeps it.
class OutputClaims {
 public:
  // Files that no output may replace: the run's inputs, as far as they are known. Adding an
  // input twice does no harm.
  void AddInputs(const std::vector<std::string>& inputPaths);

  // Where inputPath's output goes in outputFolder, and why it may not be written there.
  PlannedOutput Claim(const std::string& inputPath, std::string_view outputFolder,
                      char separator = '/', std::string_view suffix = kReducedSuffix);

  // The same for an output whose path is given.
  PlannedOutput ClaimPath(const std::string& inputPath, const std::string& outputPath);

 private:
  std::set<std::string> inputs_;
  // The output each claim took, as PathIdentity spells it, and the input that took it.
  std::unordered_map<std::string, std::string> claims_;
};

// The outputs of a fixed list of inputs, claimed strictly in input order, so the outcome never
// depends on which file happens to finish first.
std::vector<PlannedOutput> PlanOutputs(const std::vector<std::string>& inputPaths,
                                       std::string_view outputFolder, char separator = '/',
                                       std::string_view suffix = kReducedSuffix);

}  // namespace lumatrim
