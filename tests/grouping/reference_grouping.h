// A plain, slow rendering of the grouping table, step by step as the rules
// read: every placement scans all slots, every merge pass restarts at slot 0.
// Used only to check the fast grouping against it.
#pragma once

#include <vector>

#include "common/box.h"

namespace reference {

using common::Box;

// The structures in slot order, each its boxes in list order.
std::vector<std::vector<Box>> group(const std::vector<Box>& boxes);

}  // namespace reference
