#include "reduction/output_names.h"

#include <filesystem>

namespace lumatrim {

namespace {

// One spelling for every way of naming the same place: links and "." and ".." resolved as far
// as the path exists, the rest normalized as written.
std::string IdentityOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(fs::path(path), error);
  if (!error) return resolved.string();
  const fs::path absolute = fs::absolute(fs::path(path), error);
  return (error ? fs::path(path) : absolute).lexically_normal().string();
}

}  // namespace

std::string ReducedFileName(std::string_view inputPath, char separator) {
  const size_t slash = inputPath.rfind(separator);
  std::string_view name = slash == std::string_view::npos ? inputPath : inputPath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name) + "-reduced.gif";
}

std::string ReducedOutputPath(std::string_view inputPath, std::string_view outputFolder,
                              char separator) {
  return std::string(outputFolder) + separator + ReducedFileName(inputPath, separator);
}

void OutputClaims::AddInputs(const std::vector<std::string>& inputPaths) {
  for (const std::string& input : inputPaths) inputs_.insert(IdentityOf(input));
}

PlannedOutput OutputClaims::Claim(const std::string& inputPath, std::string_view outputFolder,
                                  char separator) {
  PlannedOutput output;
  output.path = ReducedOutputPath(inputPath, outputFolder, separator);
  const auto [claim, first] = claims_.emplace(IdentityOf(output.path), inputPath);
  if (!first) {
    output.refusal = "same output name as " + claim->second;
  } else if (inputs_.count(claim->first) != 0) {
    output.refusal = "would replace an input of this run";
  }
  return output;
}

std::vector<PlannedOutput> PlanOutputs(const std::vector<std::string>& inputPaths,
                                       std::string_view outputFolder, char separator) {
  OutputClaims claims;
  claims.AddInputs(inputPaths);
  std::vector<PlannedOutput> plan;
  plan.reserve(inputPaths.size());
  for (const std::string& input : inputPaths)
    plan.push_back(claims.Claim(input, outputFolder, separator));
  return plan;
}

}  // namespace lumatrim
