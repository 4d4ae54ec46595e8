// brg40's entry point on POSIX systems: the arguments are bytes, taken as UTF-8.
#include "entry.h"

int main(int argc, char** argv) {
    return Brg40Main(argc, argv);
}
