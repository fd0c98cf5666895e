// Screenshots: the presented picture as a PNG file in the records folder.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace tolvane {

// The file name of a screenshot taken at local time `when`: tolvane-YYYYMMDD-HHMMSS.png.
std::string screenshotName(const std::tm& when);

// Writes the picture shown at the last presentation (without the window layer) as
// <records folder>/tolvane-YYYYMMDD-HHMMSS.png, never over an older file (a second one
// in the same second gets -2, -3, ...), and says on stderr where it went or why it
// could not be written. The path written, or empty.
std::filesystem::path saveScreenshot();

} // namespace tolvane
