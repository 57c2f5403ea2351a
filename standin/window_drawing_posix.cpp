#include "window_drawing.h"

#include <errno.h>  // program_invocation_short_name
#include <unistd.h>

DrawingProcess ThisProcess()
{
    return {static_cast<uint32_t>(getpid()), program_invocation_short_name};
}

void DrawIntoWindow(uintptr_t, const std::vector<uint8_t>&) {}
