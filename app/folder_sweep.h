// Sweeping a folder tree for files: the chosen folder and every folder below it, breadth-first,
// each listed by a name pattern.
#pragma once

#include <QString>
#include <functional>

#include "app/add_folder.h"

namespace lumatrim {

class StepRunner;

// The name pattern for an extension as typed: "*." + extension ("*" gives "*.*").
QString PatternForExtension(const QString& extension);

// Adds, through add, the normalized path of every file in the folder tree that matches the
// pattern, skipping names that begin with "~" and files that are hidden and nothing else (hidden
// with archive only). Steps, when given, numbers the work for the application error message.
void SweepFolder(const QString& folder, const QString& pattern, const ScanHooks& hooks,
                 StepRunner* steps, const std::function<void(const QString&)>& add);

}  // namespace lumatrim
