// Screen captures for the robot: a rectangle of the screen as 24-bit pixels, written as BMP,
// and read back pixel by pixel for colour checks.
#ifndef BRG40_ROBOT_SCREEN_H
#define BRG40_ROBOT_SCREEN_H

#include <windows.h>

#include <string>
#include <vector>

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // row-major, top row first, 0x00BBGGRR
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Copies the screen rectangle (screen coordinates) into a capture; false when nothing came.
bool CaptureScreen(const RECT& rect, Capture& capture);

// Writes the capture as a 24-bit BMP file.
bool WriteBmp(const Capture& capture, const std::string& path);

#endif
