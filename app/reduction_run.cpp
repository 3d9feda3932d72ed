#include "app/reduction_run.h"

#include <memory>
#include <stdexcept>

#include "app/app_error.h"
#include "app/file_attributes.h"
#include "app/path_utils.h"
#include "app/prompter.h"
#include "gif/gif_document.h"
#include "optimizer/reduction.h"

namespace lumatrim {

namespace {

std::string Bytes(const QString& text) {
  return FileSystemName(text).toStdString();
}

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
    // The document of the run, made for the first file and reused; each load empties it.
    std::unique_ptr<cGIF> oGIF;
    int count = 0;
    step(108, [&] { count = host.Count(); });
    for (int i = 1; i <= count; ++i) {
      QString input;
      step(110, [&] { host.PumpEvents(); });
      step(112, [&] { host.SetPointer(MousePointer::Hourglass); });
      step(114, [&] { input = host.Text(i); });
      step(116, [&] {
        const int current = host.Count();
        if (current == 0) throw std::domain_error("Division by zero");
        host.SetProgressValue(double(i) / double(current) * 100.0);
      });
      step(118, [&] { host.SetProgressText(kProcessing + FileNameOf(input)); });
      step(120, [&] { host.PumpEvents(); });
      // Steps 126 to 146: the output name, the load, and the optimize-and-save with the run's
      // fixed options, in the one routine the command line shares.
      bool failed = true;
      bool loaded = false;
      step(142, [&] {
        const std::string itemPath = Bytes(host.Text(i));
        if (!oGIF) oGIF = std::make_unique<cGIF>();
        const ReductionResult result =
            ReduceFile(*oGIF, itemPath, Bytes(host.OutputFolderText()), ReductionOptions{});
        loaded = result.status != ReductionStatus::NotLoaded;
        if (loaded) step.Reached(146);
        failed = false;
      });
      if (!failed && !loaded) {
        step(148, [&] { MsgBox(prompter, owner, kErrorLoading + input); });
      }
    }
    step(152, [&] { host.SetPointer(MousePointer::Default); });
    step(154, [&] { host.SetProgressValue(0); });
    step(156, [&] { host.SetProgressText(kProgressBarText); });
    step(158, [&] { MsgBox(prompter, owner, kDone); });
  } else if (ending == Ending::NoFolder) {
    step(160, [&] { MsgBox(prompter, owner, kFolderMissing); });
  } else {
    step(162, [&] { MsgBox(prompter, owner, kNoFilesAdded); });
  }
  step(164, [&] { host.SetBusy(false); });
}

}  // namespace lumatrim
