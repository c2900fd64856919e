// The demo's machine: a few hundred phantoms in every class, ages from
// minutes to years, some whose removal fails and a few that cannot be dated.
#pragma once

#include "platform/sim/sim.h"

void BuildDemoWorld(sim::World& world);
