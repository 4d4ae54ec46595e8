/* status_dump: prints what brg40firmup_status.h says for every status from FIRST to LAST, one
 * line each: "STATUS<TAB>TEXT<TAB>CAUSE<TAB>TABLE" (TABLE 1 when the header has its own entry),
 * so that the Python package's table can be compared with the header's. */
#include <stdio.h>
#include <stdlib.h>

#include "brg40firmup_status.h"

int main(int argc, char** argv) {
    long first, last, status;
    if (argc != 3) {
        fprintf(stderr, "usage: status_dump FIRST LAST\n");
        return 2;
    }
    first = strtol(argv[1], NULL, 0);
    last = strtol(argv[2], NULL, 0);
    for (status = first; status <= last; ++status) {
        char text[BRG40_STATUS_TEXT_SIZE];
        printf("%ld\t%s\t%s\t%d\n", status, brg40_status_text((int)status, text, sizeof text),
               brg40_status_cause((int)status), brg40_status_entry((int)status) != NULL);
    }
    return 0;
}
