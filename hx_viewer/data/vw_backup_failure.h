#pragma once

#include <QString>

// One file that a backup could not put in place; the backup goes on with the
// other files and hands the whole list over when it ends.
struct VwBackupFailure
{
    QString source;
    QString target;
    QString error;
};
