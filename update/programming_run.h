// The programming run: the image rules, the version question, the device's preserved block carried
// into the image, then the erase and write phases over the update pipe.
#ifndef BRG40_PROGRAMMING_RUN_H
#define BRG40_PROGRAMMING_RUN_H

#include <cstdint>

#include "firmup_state.h"
#include "firmware_image.h"
#include "update_events.h"
#include "update_pipe.h"

// The whole run from a file: CheckImage, the question when the image is not newer than
// currentVersion (0xFFFF: unknown), then WriteImage. Sends no command before the file has passed
// its rules and the question. Ends with events.Ended(reason) and returns the reason. open: as for
// CheckImage.
UpdateStop RunProgramming(const char* path,
                          uint16_t currentVersion,
                          UpdateEvents& events,
                          UpdatePipe& pipe,
                          FirmupProgramState& state,
                          FileOpener open = std::fopen);

// The device part of a run, for an image that passed CheckImage (and the question): reads the
// device's preserved block, carries it into a copy of the image of its own, erases the application
// flash and writes the copy. image is not changed, so one image serves several devices. Allocates
// its buffers and releases them on every way out. Ends with events.Ended(reason).
UpdateStop WriteImage(const CheckedImage& image, UpdateEvents& events, UpdatePipe& pipe, FirmupProgramState& state);

#endif
