// The texts brg40 prints: the update tool's messages in English, the version question as a
// prompt, what state the converter is left in, and the help text with the exit codes.
#ifndef BRG40_CLI_CONSOLE_TEXTS_H
#define BRG40_CLI_CONSOLE_TEXTS_H

#include <string>

// The English text of message textId of the update tool's string table, empty when unknown.
const char* MessageText(unsigned textId);

// The message as one console line: its lines joined by a space.
std::string MessageLine(unsigned textId);

// The version question (message 114) filled with the image's version, on one line.
std::string VersionQuestion(unsigned major, unsigned minor);
// The same as a prompt ending in "[y/N] ".
std::string VersionPrompt(unsigned major, unsigned minor);

// "1.04" for 0x0104; "FF.FF" for an unknown version (0xFFFF), as the tool shows it.
std::string VersionText(unsigned version);

// What the converter is left in after an update stopped, and the command that finishes it.
extern const char kLeftInUpdateMode[];
extern const char kInterruptedDuringRun[];
extern const char kInterruptedBeforeClose[];

// brg40 --help: commands, options and the exit codes.
extern const char kHelpText[];

#endif
