#include "standin_log.h"

#include <fstream>

namespace gui_driver {

const char kStandinLogVariable[] = "QB7_STANDIN_LOG";

namespace {

const char kEndPrefix[] = "end pid=";

// The value after "name=" up to the next tab or the end of the line.
std::string FieldOf(const std::string& line, const std::string& name) {
  std::string key = name + "=";
  size_t start = line.compare(0, key.size(), key) == 0 ? 0 : line.find("\t" + key);
  if (start == std::string::npos) return "";
  if (start != 0) ++start;
  start += key.size();
  size_t end = line.find('\t', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void MarkEnded(std::vector<StandinRun>* runs, const std::string& pid) {
  for (StandinRun& run : *runs) {
    if (run.pid == pid) run.ended = true;
  }
}

}  // namespace

std::vector<StandinRun> ReadStandinLog(const std::string& path) {
  std::vector<StandinRun> runs;
  std::ifstream log(path);
  std::string line;
  while (std::getline(log, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, sizeof kEndPrefix - 1, kEndPrefix) == 0) {
      MarkEnded(&runs, line.substr(sizeof kEndPrefix - 1));
      continue;
    }
    StandinRun run;
    run.pid = FieldOf(line, "pid");
    run.cwd = FieldOf(line, "cwd");
    run.cmdline = FieldOf(line, "cmdline");
    run.image = FieldOf(line, "image");
    if (!run.pid.empty()) runs.push_back(run);
  }
  return runs;
}

}  // namespace gui_driver
