#pragma once
#include <cstddef>

// One step of the recipe: a clip of two layers (op is GPC_DIFF, GPC_INT or
// GPC_UNION), a copy, or a growing step by `amount`.
struct RecipeStep {
    enum Kind { CLIP, COPY, GROW } kind;
    int op_or_amount;
    const char* first;
    const char* second;  // clips only
    const char* result;
};

// The fixed recipe that derives the device's bodies from its CIF layers, in
// order, and the number of its steps.
extern const RecipeStep RECIPE[];
extern const std::size_t RECIPE_STEPS;

void run_recipe_step(const RecipeStep& step);

// Derives the device bodies from the layer files and writes premason.file.
void process_layers();
