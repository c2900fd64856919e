// The selection flags of the phantom list: by age and by category.
#pragma once

#include <cstdint>

#include "phantom/census.h"

// The age limit, in seconds, of an age selector item's data (its string
// resource number); 0 for anything else, CB_ERR included.
std::int64_t AgeLimitOfItem(std::intptr_t itemData);

// oldEnough = age strictly above the limit, on dated records only.
void ApplyAgeLimit(RemovalJob& job, std::int64_t limitSeconds);

// categoryChecked = `checked` on the records of one class.
void ApplyCategory(RemovalJob& job, const plat::GUID& classGuid, bool checked);
