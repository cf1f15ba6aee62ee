// Where the first stage looks for the capture stage.
#pragma once

#include <string>
#include <vector>

namespace tolvane::app {

// The places to try, in order: next to the program (a build tree), then the
// installed library folder, given relative to the program's folder
// (`fromBinDir`, e.g. "../lib/tolvane") or absolute. `program` is the
// program's absolute path; when it is not known (empty or relative) there are
// no places at all.
std::vector<std::string> captureStageCandidates(const std::string& program, const std::string& fromBinDir,
                                                const std::string& fileName);

}  // namespace tolvane::app
