#include "cli/Terminal.h"

#if defined(_WIN32)
#include <io.h>
#define O8R_ISATTY _isatty
#else
#include <unistd.h>
#define O8R_ISATTY isatty
#endif

namespace o8r::cli {

bool StdinIsTerminal() {
    return O8R_ISATTY(0) != 0;
}
bool StdoutIsTerminal() {
    return O8R_ISATTY(1) != 0;
}
bool StderrIsTerminal() {
    return O8R_ISATTY(2) != 0;
}

}  // namespace o8r::cli
