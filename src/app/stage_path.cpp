#include "app/stage_path.h"

namespace tolvane::app {

std::vector<std::string> captureStageCandidates(const std::string& program, const std::string& fromBinDir,
                                                const std::string& fileName) {
  // Without the program's own absolute path there is no place to trust: never
  // the current folder, which anyone may have put a module in.
  if (!program.starts_with('/')) return {};
  const auto slash = program.rfind('/');
  const std::string binDir = program.substr(0, slash == 0 ? 1 : slash);
  const auto under = [](const std::string& dir, const std::string& name) {
    return dir.ends_with('/') ? dir + name : dir + "/" + name;
  };
  std::vector<std::string> out{under(binDir, fileName)};
  if (fromBinDir.empty()) return out;
  const std::string installed =
      fromBinDir.starts_with('/') ? under(fromBinDir, fileName) : under(under(binDir, fromBinDir), fileName);
  if (installed != out.front()) out.push_back(installed);
  return out;
}

}  // namespace tolvane::app
