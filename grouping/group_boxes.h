#pragma once
// Reads premason.file, groups touching boxes into structures, writes postmason.file.
void group_boxes();
