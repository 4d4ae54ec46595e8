// The name of the file that keeps one device's preserved block, the same on every platform.
#ifndef BRG40_PRESERVED_FILE_NAME_H
#define BRG40_PRESERVED_FILE_NAME_H

#include <string>

// "preserved-<device>.bin", where every character of deviceId that is not a letter, a digit or one
// of "#&_-" becomes "_": the name can never reach another folder, whatever the device reports.
std::string PreservedFileName(const std::string& deviceId);

#endif
