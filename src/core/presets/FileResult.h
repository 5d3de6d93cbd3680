#pragma once

#include <QString>

namespace q48 {

// What became of a file operation, for the windows and the CLI to act on.
struct FileResult {
    enum Status {
        Done,      // written, or read into memory
        Declined,  // the user answered No
        Cancelled, // no file name chosen
        Rejected,  // the content is not what was asked for; nothing changed
        Failed,    // the file could not be created, written, opened or read
    };

    Status status = Failed;
    QString path;  // the file that was (or would have been) used
    QString error; // why it was rejected or failed; empty otherwise

    bool ok() const { return status == Done; }
};

} // namespace q48
