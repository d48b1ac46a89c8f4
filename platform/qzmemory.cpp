#include "platform/qzmemory.h"

#include <malloc.h>

void qzOSKeepFreedHeap()
{
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
}
