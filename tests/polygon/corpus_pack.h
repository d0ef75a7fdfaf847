// The polygon reference corpus as the tests carry it: one gzip file made by
// tools/pack-polygon-corpus.py from a corpus folder.
#pragma once

#include <string>
#include <vector>

#include "tools/gpc-strips/corpus_case.h"

// Reads every case of the packed corpus at `path`, in name order. Returns
// false with a message in `error` when the file cannot be read or is not a
// complete pack (its header names how many cases it holds; gzip's checksum
// catches damage inside).
bool read_corpus_pack(const std::string& path, std::vector<CorpusCase>* cases, std::string* error);
