#include "installer/run/Leftovers.h"

#include "installer/run/Snapshot.h"
#include "platform/Platform.h"

namespace zentra_run {

void RemoveLeftovers(const DialPlanPaths& paths)
{
    for (const std::string& file : paths.deployedFiles())
        platform::RemoveStaleCopies(file);
    RemovePartialSnapshots(paths);
}

}  // namespace zentra_run
