// brg40's own start, after the platform's entry point has its arguments in UTF-8.
#ifndef BRG40_CLI_ENTRY_H
#define BRG40_CLI_ENTRY_H

int Brg40Main(int argc, const char* const* argv);

#endif
