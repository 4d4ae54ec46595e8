// The texts brg40 prints: the update tool's own English messages (generated from its string
// table), the version question as a prompt, what state the converter is left in, and the help
// text with the exit codes.
#ifndef BRG40_CLI_CONSOLE_TEXTS_H
#define BRG40_CLI_CONSOLE_TEXTS_H

#include <string>

#include "english_strings.h"

// A message of the tool as one console line: its lines joined by a space.
std::string MessageLine(const EnglishString& message);
// Its first line: what the console says (the rest speaks of the dialog).
std::string Headline(const EnglishString& message);

// The version question filled with the image's version, on one line.
std::string VersionQuestion(unsigned major, unsigned minor);
// The same as a prompt ending in "[y/N] ".
std::string VersionPrompt(unsigned major, unsigned minor);

// What the converter is left in after an update stopped, and the command that finishes it.
extern const char kLeftInUpdateMode[];
extern const char kInterruptedDuringRun[];
extern const char kInterruptedBeforeClose[];

// brg40 --help: commands, options and the exit codes.
extern const char kHelpText[];

#endif
