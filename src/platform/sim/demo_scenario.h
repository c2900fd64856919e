// The demo's machine: a few hundred phantoms in every class, ages from
// minutes to years, some whose removal fails and a few that cannot be dated.
#pragma once

#include "platform/sim/sim.h"

void BuildDemoWorld(sim::World& world);

// The physical drives behind the demo's USB sticks, numbered as their
// volumes: a partition table and some data, then zeros. Their bytes are
// written as files in `hostFolder` (sparse where the host allows), so an
// image taken from the demo can be compared with them.
bool AddDemoDisks(sim::World& world, const std::u16string& hostFolder);
