// Reads the record the stand-in driver package installer keeps (tools/dpinst_standin): one line
// per start, "pid=..<TAB>cwd=..<TAB>cmdline=..<TAB>image=..", and "end pid=.." when it ends.
#ifndef QB7_GUI_DRIVER_STANDIN_LOG_H
#define QB7_GUI_DRIVER_STANDIN_LOG_H

#include <string>
#include <vector>

namespace gui_driver {

// The environment variable that tells the stand-in where to write its record.
extern const char kStandinLogVariable[];

struct StandinRun {
  std::string pid;
  std::string cwd;
  std::string cmdline;
  std::string image;
  bool ended = false;
};

// The runs in the order they started; empty when there is no record.
std::vector<StandinRun> ReadStandinLog(const std::string& path);

}  // namespace gui_driver

#endif
