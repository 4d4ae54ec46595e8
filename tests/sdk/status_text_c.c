/* brg40firmup_status.h compiled as C: the texts as a C program gets them. */
#include "brg40firmup_status.h"

const char* c_status_text(int status, char* buffer, size_t size);
const char* c_status_cause(int status);

const char* c_status_text(int status, char* buffer, size_t size) {
    return brg40_status_text(status, buffer, size);
}

const char* c_status_cause(int status) {
    return brg40_status_cause(status);
}
