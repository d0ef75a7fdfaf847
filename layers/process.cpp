#include "layers/process.h"

#include <iterator>

#include "polygon/gpc.h"

namespace layers {

// Each step reads one or two bodies and makes one; a layer or body without a
// file counts as empty.
const RecipeStep RECIPE[] = {
    {RecipeStep::GROW, 5, "COL", nullptr, "c2st"},
    {RecipeStep::CLIP, GPC_DIFF, "c2st", "COL", "tmp5"},
    {RecipeStep::CLIP, GPC_INT, "tmp5", "CPT", "tmp6"},
    {RecipeStep::CLIP, GPC_INT, "tmp6", "CPS", "pvt1"},
    {RecipeStep::CLIP, GPC_INT, "CPS", "CPT", "tmp7"},
    {RecipeStep::CLIP, GPC_INT, "tmp7", "CMB", "tmp8"},
    {RecipeStep::CLIP, GPC_INT, "COT", "tmp8", "tmp9"},
    {RecipeStep::CLIP, GPC_DIFF, "tmp8", "tmp9", "tmp10"},
    {RecipeStep::CLIP, GPC_DIFF, "tmp10", "CCM", "pvt2"},
    {RecipeStep::CLIP, GPC_UNION, "pvt1", "pvt2", "pvtl"},
    {RecipeStep::COPY, 0, "pvtl", nullptr, "pvth"},
    {RecipeStep::CLIP, GPC_DIFF, "CCM", "CHM", "mtl"},
    {RecipeStep::CLIP, GPC_INT, "CCM", "CMB", "refl"},
    {RecipeStep::CLIP, GPC_DIFF, "CPS", "CHO", "ply1"},
    {RecipeStep::CLIP, GPC_DIFF, "CPT", "CHT", "p2tmp"},
    {RecipeStep::GROW, 2, "ply1", nullptr, "p11"},
    {RecipeStep::GROW, 4, "ply1", nullptr, "p12"},
    {RecipeStep::GROW, 6, "ply1", nullptr, "p13"},
    {RecipeStep::CLIP, GPC_INT, "p12", "p2tmp", "p2hi"},
    {RecipeStep::CLIP, GPC_INT, "p13", "p2tmp", "tmp1"},
    {RecipeStep::CLIP, GPC_INT, "p11", "p2tmp", "tmp2"},
    {RecipeStep::CLIP, GPC_INT, "p13", "p2hi", "tmp3"},
    {RecipeStep::CLIP, GPC_DIFF, "tmp1", "tmp2", "tmp4"},
    {RecipeStep::CLIP, GPC_DIFF, "tmp4", "tmp3", "p2lo"},
    {RecipeStep::CLIP, GPC_DIFF, "p2tmp", "p2hi", "ply2"},
};
const std::size_t RECIPE_STEPS = std::size(RECIPE);

const char* const BODY_LIST[] = {"COL", "COT", "COF", "mtl", "refl", "pvtl", "pvth", "ply1", "p2lo", "p2hi", "ply2",
                                 nullptr};

}  // namespace layers
