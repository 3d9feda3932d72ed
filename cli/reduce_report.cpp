#include "cli/reduce_report.h"

#include <algorithm>

#include <cstdio>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "cli/json_text.h"

namespace lumatrim::cli {

namespace {

double SavedPercent(uint64_t in, uint64_t out) {
  return in == 0 ? 0.0 : 100.0 * (double(in) - double(out)) / double(in);
}

// "34.1% saved", or "2.5% larger" for an output that grew.
std::string ChangeText(uint64_t in, uint64_t out) {
  const double saved = SavedPercent(in, out);
  char text[48];
  if (out > in) {
    std::snprintf(text, sizeof text, "%.1f%% larger", -saved);
  } else {
    std::snprintf(text, sizeof text, "%.1f%% saved", saved);
  }
  return text;
}

// ", verified", "  LOOKS DIFFERENT" or "  (not checked)" after the sizes; ", verified as read
// here" when the input has frames that other decoders may read further.
std::string VerificationText(const FileOutcome& outcome, bool inParentheses) {
  if (!outcome.verification) return "";
  switch (outcome.verification->outcome) {
    case PlaybackComparison::Same:
      if (!inParentheses) return "";
      return outcome.verification->reason.empty() ? ", verified" : ", verified as read here";
    case PlaybackComparison::Different:
      return inParentheses ? "" : "  LOOKS DIFFERENT";
    case PlaybackComparison::NotChecked:
      break;
  }
  return inParentheses ? "" : "  (not checked)";
}

void ReportErrors(const std::string& shownInput, const FileOutcome& outcome,
                  const ReduceSettings& settings, std::ostream& err) {
  const ReductionResult& r = outcome.result;
  if (!outcome.skipReason.empty()) return;
  if (r.status == ReductionStatus::NotLoaded) {
    err << "Error loading gif file: " << shownInput << " (" << r.reason << ")\n";
  } else if (r.status == ReductionStatus::NotSaved) {
    err << "Error saving gif file: " << r.outputPath << " (" << r.reason << ")\n";
  } else if (outcome.verification && outcome.verification->outcome != PlaybackComparison::Same) {
    const bool different = outcome.verification->outcome == PlaybackComparison::Different;
    err << (different ? "Output looks different from its input: " : "Output not checked: ")
        << r.outputPath << " (" << outcome.verification->reason << ")\n";
  }
  if (!r.note.empty() && !settings.quiet) err << "Note: " << shownInput << ": " << r.note << "\n";
}

nlohmann::json JsonLine(const std::string& shownInput, const FileOutcome& outcome,
                        const ReduceSettings& settings) {
  const ReductionResult& r = outcome.result;
  nlohmann::json line;
  PutFileName(line, "file", shownInput);
  PutFileName(line, "output", r.outputPath);
  if (!outcome.skipReason.empty()) {
    line["skipped"] = true;
    line["skip_reason"] = outcome.skipReason;
    return line;
  }
  line["loaded"] = r.status != ReductionStatus::NotLoaded;
  line["saved"] = r.status == ReductionStatus::Reduced;
  line["bytes_in"] = r.bytesIn;
  line["bytes_out"] = r.bytesOut;
  if (r.status == ReductionStatus::Reduced) {
    line["saved_percent"] = SavedPercent(r.bytesIn, r.bytesOut);
    line["bytes_reduced"] = outcome.bytesReduced;
    line["kept_input"] = outcome.keptInput;
  }
  if (settings.dryRun) line["dry_run"] = true;
  if (r.inputChanged) line["input_changed"] = true;
  if (r.cutShort) line["cut_short"] = true;
  if (outcome.verification) {
    const PlaybackComparison& v = *outcome.verification;
    // true or false when checked, null when the playback could not be checked.
    if (v.outcome == PlaybackComparison::NotChecked) {
      line["verified"] = nullptr;
    } else {
      line["verified"] = v.outcome == PlaybackComparison::Same;
    }
    if (!v.reason.empty()) line["verify_reason"] = v.reason;
  }
  if (!r.note.empty()) line["note"] = r.note;
  if (!r.reason.empty()) line["error"] = ValidUtf8(r.reason);
  return line;
}

std::string TextLine(const std::string& shownInput, const FileOutcome& outcome,
                     const ReduceSettings& settings) {
  const ReductionResult& r = outcome.result;
  std::ostringstream line;
  if (!outcome.skipReason.empty()) {
    line << shownInput << "  skipped: " << outcome.skipReason;
  } else if (r.status == ReductionStatus::Reduced) {
    line << shownInput << "  " << HumanSize(r.bytesIn) << " -> " << HumanSize(r.bytesOut) << "  ("
         << ChangeText(r.bytesIn, r.bytesOut) << VerificationText(outcome, true) << ")"
         << VerificationText(outcome, false);
    if (outcome.keptInput) {
      line << (settings.inPlace ? "  left as it was: " : "  input kept unchanged: ")
           << "reduced it would be " << HumanSize(outcome.bytesReduced);
    }
    if (settings.verbose) line << "  -> " << r.outputPath;
  } else {
    return {};
  }
  return line.str();
}

}  // namespace

std::string HumanSize(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = double(bytes) / 1024.0;
  size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < std::size(units)) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

void ReportFile(const std::string& shownInput, const FileOutcome& outcome,
                const ReduceSettings& settings, std::ostream& out, std::ostream& err) {
  ReportErrors(shownInput, outcome, settings, err);
  if (settings.json) {
    out << JsonLine(shownInput, outcome, settings)
               .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
        << "\n";
  } else if (!settings.quiet) {
    const std::string line = TextLine(shownInput, outcome, settings);
    if (!line.empty()) out << line << "\n";
  }
  out.flush();
  err.flush();
}

void BatchTotals::Add(const FileOutcome& outcome) {
  ++files_;
  if (!outcome.skipReason.empty()) {
    ++skipped_;
  } else if (Succeeded(outcome)) {
    ++reduced_;
  } else {
    ++failed_;
  }
  if (outcome.result.status == ReductionStatus::Reduced) {
    bytesIn_ += outcome.result.bytesIn;
    bytesOut_ += outcome.result.bytesOut;
  }
}

std::string BatchTotals::Text(bool dryRun) const {
  std::ostringstream text;
  text << "Total: " << files_ << (files_ == 1 ? " file, " : " files, ") << reduced_ << " reduced";
  if (skipped_ > 0) text << ", " << skipped_ << " skipped";
  if (failed_ > 0) text << ", " << failed_ << " failed";
  text << ": " << HumanSize(bytesIn_) << " -> " << HumanSize(bytesOut_) << "  ("
       << ChangeText(bytesIn_, bytesOut_) << ")";
  if (dryRun) text << "  dry run: nothing written";
  return text.str();
}

void DrawProgress(std::ostream& err, size_t done, size_t total, const std::string& current,
                  double partial) {
  constexpr int kWidth = 30;
  const double share =
      total == 0 ? 1.0 : std::clamp((double(done) + partial) / double(total), 0.0, 1.0);
  const int filled = int(kWidth * share);
  err << "\r[" << std::string(size_t(filled), '#') << std::string(size_t(kWidth - filled), ' ')
      << "] " << done << "/" << total << " " << std::setw(3) << int(100 * share) << "% " << current
      << "\033[K" << std::flush;
}

void ClearProgress(std::ostream& err) {
  err << "\r\033[K";
}

}  // namespace lumatrim::cli
