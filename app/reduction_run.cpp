#include "app/reduction_run.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/app_error.h"
#include "app/file_attributes.h"
#include "app/path_utils.h"
#include "app/prompter.h"
#include "gif/gif_document.h"
#include "raster/work_pool.h"
#include "reduction/reduce_file.h"

namespace lumatrim {

namespace {

std::string Bytes(const QString& text) {
  return FileSystemName(text).toStdString();
}

// One file's work, measured before and after. It runs off the UI thread and so touches nothing
// of the window.
// Its frames are shared out to workers.
FileResult ReduceAndMeasure(cGIF& oGIF, const std::string& input, const PlannedOutput& output,
                            WorkPool& workers) {
  FileResult file;
  ReductionOptions options;
  options.workers = &workers;
  const ReductionResult result = ReduceFile(oGIF, input, output, options);
  file.bytesIn = result.status == ReductionStatus::NotLoaded ? -1 : qint64(result.bytesIn);
  file.status = result.status;
  file.output = QString::fromStdString(result.outputPath);
  file.reason = QString::fromStdString(result.reason);
  file.note = QString::fromStdString(result.note);
  if (result.status == ReductionStatus::Reduced) file.bytesOut = qint64(result.bytesOut);
  return file;
}

// "Error saving gif file: " and the output path, with the reason when one is known.
QString SaveErrorText(const FileResult& file) {
  QString text = kErrorSaving + file.output;
  if (!file.reason.isEmpty()) text += QStringLiteral(" (") + file.reason + u')';
  return text;
}

// The run's inputs, as far as the list has shown them, and the outputs claimed so far. The list
// can be reordered and grown during a run, so each file's output is claimed from the same reading
// of its item that names the file to load, and every text the list has held counts as an input.
class RunClaims {
 public:
  PlannedOutput Claim(const RunHost& host, const QString& item) {
    // Dragging only swaps texts; only an addition brings a text the claims have not seen. The
    // count alone would miss one: an item removed before the next file's hourglass (an add-folder
    // sweep resets the pointer) and one added leave it as it was.
    if (host.Additions() != seenAdditions_) {
      seenAdditions_ = host.Additions();
      std::vector<std::string> texts;
      for (int k = 1; k <= host.Count(); ++k) texts.push_back(Bytes(host.Text(k)));
      claims_.AddInputs(texts);
    }
    return claims_.Claim(Bytes(item), Bytes(host.OutputFolderText()));
  }

 private:
  OutputClaims claims_;
  int seenAdditions_ = -1;
};

// Steps 110 to 148 of one item: progress, the file's work off the UI thread, and its message.
class FileSteps {
 public:
  FileSteps(RunHost& host, Prompter& prompter, QWidget* owner, StepRunner& step)
      : host_(host), prompter_(prompter), owner_(owner), step_(step) {}

  void Reduce(int i) {
    StepRunner& step = step_;
    QString input;
    step(110, [&] { host_.PumpEvents(); });
    step(112, [&] { host_.SetPointer(MousePointer::Hourglass); });
    step(114, [&] { input = host_.Text(i); });
    step(116, [&] {
      const int current = host_.Count();
      if (current == 0) throw std::domain_error("Division by zero");
      host_.SetProgressValue(double(i) / double(current) * 100.0);
    });
    step(118, [&] { host_.SetProgressText(kProcessing + FileNameOf(input)); });
    step(120, [&] { host_.PumpEvents(); });
    // Steps 126 to 146: the output name, the load, and the optimize-and-save with the run's
    // fixed options, in the one routine the command line shares, off the UI thread.
    std::optional<FileResult> outcome;
    step(142, [&] { outcome = ReduceItem(i); });
    if (!outcome) return;
    results_.append(*outcome);
    if (outcome->status == ReductionStatus::NotLoaded) {
      step(148, [&] { MsgBox(prompter_, owner_, kErrorLoading + outcome->input); });
    } else if (outcome->status == ReductionStatus::NotSaved) {
      // A failed save is not a success: it is reported like a failed load.
      step(146, [&] { MsgBox(prompter_, owner_, SaveErrorText(*outcome)); });
    }
  }

  const RunResults& Results() const { return results_; }

 private:
  FileResult ReduceItem(int i) {
    // One reading of the item names the file, its output and its line in the results.
    const QString item = host_.Text(i);
    const std::string itemPath = Bytes(item);
    const PlannedOutput output = claims_.Claim(host_, item);
    // The document of the run, made for the first file and reused; each load empties it.
    if (!oGIF_) oGIF_ = std::make_unique<cGIF>();
    FileResult file;
    host_.RunAside([&] { file = ReduceAndMeasure(*oGIF_, itemPath, output, workers_); });
    file.input = item;
    if (file.status != ReductionStatus::NotLoaded) step_.Reached(146);
    return file;
  }

  RunHost& host_;
  Prompter& prompter_;
  QWidget* owner_;
  StepRunner& step_;
  std::unique_ptr<cGIF> oGIF_;
  // Every core works on the file in hand.
  WorkPool workers_{std::max(1u, std::thread::hardware_concurrency())};
  RunResults results_;
  RunClaims claims_;
};

}  // namespace

void RunReduction(RunHost& host, Prompter& prompter, QWidget* owner) {
  StepRunner step(&prompter, owner, kLabelRun);
  // Where the steps go after the checks in front of the loop.
  enum class Ending { Files, NoFolder, NoFiles };
  Ending ending = Ending::Files;

  bool refused = false;
  step(100, [&] { refused = host.Busy(); });
  if (refused) return;
  step(102, [&] { host.SetBusy(true); });
  step(104, [&] {
    if (host.Count() == 0) ending = Ending::NoFiles;
  });
  if (ending == Ending::Files) {
    step(106, [&] {
      if (!IsFolder(host.OutputFolderText())) ending = Ending::NoFolder;
    });
  }

  if (ending == Ending::Files) {
    FileSteps files(host, prompter, owner, step);
    int count = 0;
    step(108, [&] { count = host.Count(); });
    for (int i = 1; i <= count; ++i) {
      files.Reduce(i);
      // A stop asked for during the file takes effect once it is done.
      bool stop = false;
      step(150, [&] { stop = host.StopRequested(); });
      if (stop) break;
    }
    step(152, [&] { host.SetPointer(MousePointer::Default); });
    step(154, [&] { host.SetProgressValue(0); });
    step(156, [&] { host.SetProgressText(kProgressBarText); });
    step(158, [&] { host.ShowResults(files.Results()); });
    step(158, [&] { MsgBox(prompter, owner, kDone); });
  } else if (ending == Ending::NoFolder) {
    step(160, [&] { MsgBox(prompter, owner, kFolderMissing); });
  } else {
    step(162, [&] { MsgBox(prompter, owner, kNoFilesAdded); });
  }
  step(164, [&] { host.SetBusy(false); });
}

}  // namespace lumatrim
