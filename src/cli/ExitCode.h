#pragma once

namespace q48 {

// What q48ctl returns; scripts branch on these.
enum ExitCode : int {
    ExitOk = 0,
    ExitDeviceFailure = 1, // the device reported a failure, or sent something unusable
    ExitUsage = 2,
    ExitNoDevice = 3, // none found, connection refused or lost
    ExitTimeout = 4,
    ExitFileError = 5, // unreadable, unwritable, wrong size or damaged: nothing sent
};

} // namespace q48
