#pragma once
// Software entries as the screenshots show them, and their records.

#include "skin/catalogue_records.h"

#include <cstdint>

struct SampleSoftware {
    const char* name;
    const char* viewName;
    const char* content;
    const char* size;
    const char* date;
    float score;
    int32_t state;
};

// A record of the sample, allocated with new for a cell to take over.
inline DuiSoft* NewSampleSoft(const SampleSoftware& sample) {
    auto* soft = new DuiSoft;
    soft->name = sample.name;
    soft->viewName = sample.viewName;
    soft->content = sample.content;
    soft->size = sample.size;
    soft->date = sample.date;
    soft->score = sample.score;
    soft->state = sample.state;
    return soft;
}
