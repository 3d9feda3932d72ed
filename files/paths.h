// Questions about paths and folders that the front ends and the output plan ask of the file
// system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "raster/result.h"

namespace lumatrim {

// One spelling for every way of naming the same place: links and "." and ".." resolved as far
// as the path exists, the rest normalized as written.
std::string PathIdentity(const std::string& path);

// The file a path names once its links are followed (what --in-place replaces), or why there is
// none.
Result<std::string> LinkTarget(const std::string& path);

enum class PathKind { Missing, Folder, RegularFile, Other };

// What is at path; a link is followed (a link to nothing is Missing) unless ownEntry asks about
// the name itself (a link of any kind is then Other).
PathKind KindOf(const std::string& path, bool ownEntry = false);

// Every regular file below folder whose name ends in extension (any letter case), in name order.
// Links to folders are not entered (one pointing back up would never end), and folders that can't
// be read are skipped.
std::vector<std::string> FilesBelow(const std::string& folder, std::string_view extension);

}  // namespace lumatrim
