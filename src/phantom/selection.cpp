#include "phantom/selection.h"

#include "res/resources.h"

std::int64_t AgeLimitOfItem(std::intptr_t itemData) {
  switch (itemData) {
    case res::IDS_AGE_TODAY: return 86400;
    case res::IDS_AGE_LAST_WEEK: return 604800;
    case res::IDS_AGE_LAST_MONTH: return 2592000;
    case res::IDS_AGE_LAST_YEAR: return 31536000;
    default: return 0;  // "Now", no selection, anything else
  }
}

void ApplyAgeLimit(RemovalJob& job, std::int64_t limitSeconds) {
  for (auto& r : job.records)
    if (r->dated == 1) r->oldEnough = r->ageSeconds > limitSeconds ? 1 : 0;
}

void ApplyCategory(RemovalJob& job, const plat::GUID& classGuid, bool checked) {
  for (auto& r : job.records)
    if (r->classGuid == classGuid) r->categoryChecked = checked ? 1 : 0;
}
