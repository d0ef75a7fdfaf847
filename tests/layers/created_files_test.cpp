// The polygon files of a run and the list of the names created: in creation
// order, a name created again replacing its file (as opening it for writing
// truncates it) and listed again; written to the current directory only when
// the files are kept.
#include "layer_test_support.h"

using namespace layers_test;

class CreatedFileList : public InTempDir {};

TEST_F(CreatedFileList, NamesInCreationOrderAndReplacement) {
    common::PolygonFiles in_memory;
    for (common::PolygonFiles* f : {&in_memory, &files}) {
        layers_test::write_layer(*f, "CPS", {{0, 0, 1, 1}});
        layers_test::put_text(*f, "empty.gpc", "0\n");
        layers_test::write_layer(*f, "CPS", {{2, 2, 3, 3}});
        EXPECT_EQ(f->created(), (std::vector<std::string>{"CPS.gpc", "empty.gpc", "CPS.gpc"}));
        EXPECT_EQ(f->find("CPS.gpc")->render(), "1\n4\n2.0 2.0\n3.0 2.0\n3.0 3.0\n2.0 3.0\n");
        EXPECT_EQ(f->find("other.gpc"), nullptr);
        f->release("empty.gpc");
        EXPECT_EQ(f->find("empty.gpc"), nullptr);
        EXPECT_EQ(f->created().size(), 3u);
    }
    // only the kept files were written, as they were created
    EXPECT_EQ(files_here(), (std::set<std::string>{"CPS.gpc", "empty.gpc"}));
    EXPECT_EQ(read_file("CPS.gpc"), files.find("CPS.gpc")->render());
}

TEST_F(CreatedFileList, NamesOfAnyLengthInMemoryOnly) {
    common::PolygonFiles in_memory;
    const std::string too_long = std::string(5000, 'N') + ".gpc";  // no file system takes it
    layers_test::put_text(in_memory, too_long, "0\n");
    EXPECT_EQ(in_memory.created(), std::vector<std::string>{too_long});
}
