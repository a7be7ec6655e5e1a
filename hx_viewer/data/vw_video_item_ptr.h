#pragma once

#include <QSharedPointer>

class VwVideoItem;

// Records are shared: the list holds one reference to each record it lists,
// and whoever must keep a record beyond the list's next rebuild (the player
// with the recording it plays, a running backup) takes a reference of its own.
// A record is destroyed when its last reference goes.
using VwVideoItemPtr = QSharedPointer<VwVideoItem>;
