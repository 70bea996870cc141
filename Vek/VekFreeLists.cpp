#include "Vek/VekFreeLists.h"

namespace {

constinit TFreeLists g_operation_lists;
constinit TFreeLists g_push_snapshot_lists;

}  // namespace

TFreeLists& VekOperationLists() {
  return g_operation_lists;
}

TFreeLists& VekPushSnapshotLists() {
  return g_push_snapshot_lists;
}

void ReleaseVekFreeLists() {
  g_operation_lists.Release();
  g_push_snapshot_lists.Release();
}
