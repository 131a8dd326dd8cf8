// Saves what the screen shows to a .bmp file, so a failed GUI test or a sample walk can be looked
// at.
#ifndef QB7_GUI_DRIVER_SCREENSHOT_H
#define QB7_GUI_DRIVER_SCREENSHOT_H

#include <string>

namespace gui_driver {

// The whole screen as an uncompressed 24-bit bitmap file; false when it could not be written.
bool SaveScreenshot(const std::string& bmpPath);

}  // namespace gui_driver

#endif
