/* The library's version: the one place its numbers live. The version resource and the tests
 * read it; brg40_get_dll_version reads the compiled resource back at run time. */
#ifndef BRG40_VERSION_H
#define BRG40_VERSION_H

#define BRG40_VERSION_MAJOR 1
#define BRG40_VERSION_MINOR 1
#define BRG40_VERSION_PATCH 0
#define BRG40_VERSION_BUILD 0

#define BRG40_VERSION_STR_(x) #x
#define BRG40_VERSION_STR(x) BRG40_VERSION_STR_(x)
/* "1, 1, 0, 0": the form of the ProductVersion and FileVersion texts. */
/* clang-format off */
#define BRG40_VERSION_TEXT                                                                   \
    BRG40_VERSION_STR(BRG40_VERSION_MAJOR) ", " BRG40_VERSION_STR(BRG40_VERSION_MINOR) ", " \
    BRG40_VERSION_STR(BRG40_VERSION_PATCH) ", " BRG40_VERSION_STR(BRG40_VERSION_BUILD)
/* clang-format on */

#endif
