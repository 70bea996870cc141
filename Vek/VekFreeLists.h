// The framework's free lists (platform/rtl/FreeLists.h): the notify
// operations' objects and the sink-entry copies of pushes to more sinks than
// a push keeps on its stack. Both are made per pushed buffer, so once the
// lists are warm a push takes nothing from the general heap.
//
// Life cycle: VekStdTypesUnit's shutdown gives the pooled memory back
// (ReleaseVekFreeLists), and so does the going of the lists' last user (the
// pins that push buffers register as users, TFreeListsUser). Threads: any
// thread, as TFreeLists.
#pragma once

#include "platform/rtl/FreeLists.h"

TFreeLists& VekOperationLists();
TFreeLists& VekPushSnapshotLists();
// Gives the pooled memory of both back to the heap.
void ReleaseVekFreeLists();
