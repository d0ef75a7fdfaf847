#include "layers/process_layers.h"

#include "layers/box_list.h"
#include "layers/created_files.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"

// The fixed recipe that derives the device's bodies from its CIF layers. Each
// step reads one or two polygon files and writes one; a layer or body without
// a file counts as empty. The final bodies are lifted into premason.file, then
// every polygon file of the run is removed.
void process_layers() {
    write_empty_polygon_file();                     // 1
    grow_layer("COL", "c2st", 5);                   // 2
    clip_layers(GPC_DIFF, "c2st", "COL", "tmp5");   // 3
    clip_layers(GPC_INT, "tmp5", "CPT", "tmp6");    // 4
    clip_layers(GPC_INT, "tmp6", "CPS", "pvt1");    // 5
    clip_layers(GPC_INT, "CPS", "CPT", "tmp7");     // 6
    clip_layers(GPC_INT, "tmp7", "CMB", "tmp8");    // 7
    clip_layers(GPC_INT, "COT", "tmp8", "tmp9");    // 8
    clip_layers(GPC_DIFF, "tmp8", "tmp9", "tmp10"); // 9
    clip_layers(GPC_DIFF, "tmp10", "CCM", "pvt2");  // 10
    clip_layers(GPC_UNION, "pvt1", "pvt2", "pvtl"); // 11
    copy_layer("pvtl", "pvth");                     // 12
    clip_layers(GPC_DIFF, "CCM", "CHM", "mtl");     // 13
    clip_layers(GPC_INT, "CCM", "CMB", "refl");     // 14
    clip_layers(GPC_DIFF, "CPS", "CHO", "ply1");    // 15
    clip_layers(GPC_DIFF, "CPT", "CHT", "p2tmp");   // 16
    grow_layer("ply1", "p11", 2);                   // 17
    grow_layer("ply1", "p12", 4);                   // 18
    grow_layer("ply1", "p13", 6);                   // 19
    clip_layers(GPC_INT, "p12", "p2tmp", "p2hi");   // 20
    clip_layers(GPC_INT, "p13", "p2tmp", "tmp1");   // 21
    clip_layers(GPC_INT, "p11", "p2tmp", "tmp2");   // 22
    clip_layers(GPC_INT, "p13", "p2hi", "tmp3");    // 23
    clip_layers(GPC_DIFF, "tmp1", "tmp2", "tmp4");  // 24
    clip_layers(GPC_DIFF, "tmp4", "tmp3", "p2lo");  // 25
    clip_layers(GPC_DIFF, "p2tmp", "p2hi", "ply2"); // 26
    write_box_list(BODY_LIST);                      // 27
    remove_created_files();                         // 28
}
