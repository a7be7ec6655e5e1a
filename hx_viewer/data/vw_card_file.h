#pragma once

#include <QString>

// Opens the files of a memory card. A name that was a recording when the
// folder was scanned may name something else by the time it is opened: a
// FIFO would block the open, and everything waiting on it, for good. The
// open therefore never blocks, and only a regular file is kept.
class VwCardFile
{
public:
    // Descriptor of the regular file at path, opened for reading and closed
    // on exec; -1 with the reason in error (when given) otherwise.
    static int openForReading(const QString &path, QString *error = nullptr);
};
