#include "reduction/output_names.h"

#include "files/paths.h"

namespace lumatrim {

std::string ReducedFileName(std::string_view inputPath, char separator, std::string_view suffix) {
  const size_t slash = inputPath.rfind(separator);
  std::string_view name = slash == std::string_view::npos ? inputPath : inputPath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name) + std::string(suffix) + ".gif";
}

std::string ReducedOutputPath(std::string_view inputPath, std::string_view outputFolder,
                              char separator, std::string_view suffix) {
  return std::string(outputFolder) + separator + ReducedFileName(inputPath, separator, suffix);
}

void OutputClaims::AddInputs(const std::vector<std::string>& inputPaths) {
  for (const std::string& input : inputPaths) inputs_.insert(PathIdentity(input));
}

PlannedOutput OutputClaims::Claim(const std::string& inputPath, std::string_view outputFolder,
                                  char separator, std::string_view suffix) {
  return ClaimPath(inputPath, ReducedOutputPath(inputPath, outputFolder, separator, suffix));
}

PlannedOutput OutputClaims::ClaimPath(const std::string& inputPath, const std::string& outputPath) {
  PlannedOutput output;
  output.path = outputPath;
  const auto [claim, first] = claims_.emplace(PathIdentity(output.path), inputPath);
  if (!first) {
    output.refusal = "same output name as " + claim->second;
  } else if (inputs_.count(claim->first) != 0) {
    output.refusal = "would replace an input of this run";
  }
  return output;
}

std::vector<PlannedOutput> PlanOutputs(const std::vector<std::string>& inputPaths,
                                       std::string_view outputFolder, char separator,
                                       std::string_view suffix) {
  OutputClaims claims;
  claims.AddInputs(inputPaths);
  std::vector<PlannedOutput> plan;
  plan.reserve(inputPaths.size());
  for (const std::string& input : inputPaths)
    plan.push_back(claims.Claim(input, outputFolder, separator, suffix));
  return plan;
}

}  // namespace lumatrim
