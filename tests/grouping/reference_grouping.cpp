#include "reference_grouping.h"

namespace reference {
namespace {

struct Slot {
    std::vector<Box> list;
    Box bounds;
    bool active = false;
};

bool slot_accepts(const Slot& slot, const Box& b) {
    if (!touch(slot.bounds, b)) return false;
    for (const Box& q : slot.list)
        if (touch(q, b)) return true;
    return false;
}

void add_box_to_slot(Slot& slot, const Box& b) {
    if (slot.list.empty()) {
        slot.bounds = b;
        slot.active = true;
    } else {
        extend(slot.bounds, b);
    }
    slot.list.push_back(b);
}

bool merge_pass(std::vector<Slot>& slots) {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i].active) continue;
        for (std::size_t p = 0; p < slots[i].list.size(); ++p) {
            const Box box = slots[i].list[p];
            for (std::size_t j = 0; j < slots.size(); ++j) {
                if (j == i || !slots[j].active || !slot_accepts(slots[j], box)) continue;
                // i absorbs j; i's bounds stay as they are.
                slots[i].list.insert(slots[i].list.end(), slots[j].list.begin(), slots[j].list.end());
                slots[j].active = false;
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::vector<std::vector<Box>> group(const std::vector<Box>& boxes) {
    std::vector<Slot> slots;
    for (const Box& b : boxes) {
        bool placed = false;
        for (Slot& slot : slots) {
            if (slot_accepts(slot, b)) {
                add_box_to_slot(slot, b);
                placed = true;
                break;
            }
        }
        if (!placed) {
            slots.emplace_back();
            add_box_to_slot(slots.back(), b);
        }
    }
    while (merge_pass(slots)) {
    }
    std::vector<std::vector<Box>> out;
    for (const Slot& slot : slots)
        if (slot.active) out.push_back(slot.list);
    return out;
}

}  // namespace reference
