// UTF-8 inside brg40, UTF-16 where Windows takes names and console text.
#ifndef BRG40_CLI_TEXT_ENCODING_WIN32_H
#define BRG40_CLI_TEXT_ENCODING_WIN32_H

#include <string>

std::string Utf8Of(const wchar_t* text);
std::wstring WideOf(const std::string& utf8);

#endif
