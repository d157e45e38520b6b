#include "util/working_set.h"

#include <malloc.h>

void trim_working_set() noexcept
{
    malloc_trim(0);
}
