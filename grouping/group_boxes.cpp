#include "grouping/group_boxes.h"
void group_boxes() {}
