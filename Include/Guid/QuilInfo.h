// The output block info record, the data of the gZarnQuilInfoHobGuid HOB.
#pragma once

#include "ZarnBase.h"

struct QuilInfo {
  BOOLEAN Supported;
  UINT8 Alignment[3];
  UINT32 QuilSize;
  UINT64 QuilAddr;
};
static_assert(sizeof(QuilInfo) == 16, "QuilInfo");
static_assert(offsetof(QuilInfo, QuilSize) == 4 && offsetof(QuilInfo, QuilAddr) == 8, "QuilInfo");
