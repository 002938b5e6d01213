// The library's process-wide setup comes from the environment, read once at its first call.
#include <cstdlib>

#include "sim/board.h"
#include "sim/text.h"

SimBoardSetup SetupFromEnvironment() {
    SimBoardSetup setup;
    const char* faults = std::getenv("ZORIX_FAULTS");
    if (faults && *faults) {
        setup.faultScriptName = faults;
        std::string error;
        constexpr std::size_t kLimit = 1 << 20;
        if (!zorix::ReadFileBytes(faults, kLimit, setup.faultScript, error)) {
            setup.faultScriptError =
                "cannot read fault script '" + std::string(faults) + "' (ZORIX_FAULTS): " + error;
        } else if (setup.faultScript.size() > kLimit) {
            setup.faultScriptError = "fault script '" + std::string(faults) + "' is too large";
        } else {
            setup.announceFaultScript = true;
        }
    }
    if (const char* dump = std::getenv("ZORIX_DUMP")) setup.dumpPath = dump;
    return setup;
}
