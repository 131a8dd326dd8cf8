// What a driver running under Wine needs from its host: Windows forms of the host's paths, and
// window drawing that makes screenshots show what a user would see.
#ifndef QB7_GUI_DRIVER_WINE_HOST_H
#define QB7_GUI_DRIVER_WINE_HOST_H

#include <string>

namespace gui_driver {

// A host path (/...) as the Windows path of the same file; any other path is returned as is.
std::string ToWindowsPath(const std::string& path);

// With `on`, asks Wine to draw window captions and frames itself instead of leaving them to a
// window manager, which a virtual display does not have; otherwise gives back Wine's default.
// Applies to programs started afterwards.
bool DrawCaptionsInWine(bool on);

}  // namespace gui_driver

#endif
