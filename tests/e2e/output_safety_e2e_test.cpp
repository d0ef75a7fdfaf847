// What a run does to the files around it: an output or a kept file that is
// the input, a CIF file that cannot be read, a run that fails or is
// interrupted over an earlier output, and the kinds of file an output name may
// already be.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;
using Names = std::set<std::string>;

namespace {

const std::string kLayout = "L CPS;\nB 2000 1000 1000 500;\nB 400 400 200 200;\nL CPT;\nB 800 800 3000 3000;\nE\n";
const std::string kOld = "an earlier kavrit file\n";

// A fresh directory holding a.cif, sub/, and out.kav with kOld; removed again.
struct Dir : e2e::Dir {
    Dir() {
        write("a.cif", kLayout);
        write("out.kav", kOld);
        std::filesystem::create_directory(path / "sub");
    }
    // Runs the binary with `args`, its output to the files out and err.
    int run(const std::string& args) const { return sh(e2e::quoted_binary() + " " + args + " >out 2>err"); }
};

// kLayout converted with -s, time line masked.
std::string plain_output() {
    Dir d;
    EXPECT_EQ(d.run("-s -o plain.kav a.cif"), 0);
    return e2e::mask_time_line(d.read("plain.kav"));
}

}  // namespace

// An output that is the CIF file, under any name, is refused before anything
// is opened for writing; so is a kept intermediate file that is, when it is
// about to be written. The layout and the earlier output stay as they were.
TEST(OutputSafety, NoFileTheRunWritesReplacesTheInput) {
    struct Case {
        std::string args, err;
    };
    const std::string refused = "; nothing written\n";
    const std::vector<Case> cases = {
        {"-s -o a.cif a.cif", "output file a.cif is the CIF file a.cif" + refused},
        {"--flatten -o a.cif a.cif", "output file a.cif is the CIF file a.cif" + refused},
        {"--keep-intermediates -o a.cif a.cif", "output file a.cif is the CIF file a.cif" + refused},
        {"-o ./sub/../a.cif a.cif", "output file ./sub/../a.cif is the CIF file a.cif" + refused},
        {"-o chain.cif a.cif", "output file chain.cif is the CIF file a.cif" + refused},
        {"-s -o a.cif link.cif", "output file a.cif is the CIF file link.cif" + refused},
        {"-s -o hard.cif a.cif", "output file hard.cif is the CIF file a.cif" + refused},
        {"--keep-intermediates -o out.kav CPT.gpc", "intermediate file CPT.gpc is the CIF file CPT.gpc; nothing more written\n"},
        {"--flatten --keep-intermediates premason.file",
         "intermediate file premason.file is the CIF file premason.file; nothing more written\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        Dir d;
        fs::create_symlink("a.cif", d.path / "link.cif");
        fs::create_symlink("link.cif", d.path / "chain.cif");
        fs::create_hard_link(d.path / "a.cif", d.path / "hard.cif");
        d.write("CPT.gpc", kLayout);
        d.write("premason.file", kLayout);
        EXPECT_EQ(d.run(c.args), 1);
        EXPECT_EQ(d.read("err"), "cif2kavrit: " + c.err);
        EXPECT_EQ(d.read("a.cif"), kLayout);
        EXPECT_EQ(d.read(c.args.substr(c.args.rfind(' ') + 1)), kLayout);  // the CIF file
        EXPECT_EQ(d.read("out.kav"), kOld);
    }
}

// A CIF file that cannot be read, or a run that fails later, ends with status
// 1, leaves an earlier output as it was and makes none where there was none.
TEST(OutputSafety, AFailedRunLeavesTheEarlierOutput) {
    struct Case {
        std::string args, err;
    };
    const std::vector<Case> cases = {
        {"-s -o out.kav sub", "Error opening file sub\n"},  // a directory
        {"-s sub", "Error opening file sub\n"},
        {"--flatten -o new.kav sub", "Error opening file sub\n"},
        // Reading /proc/self/mem from its start fails with an I/O error.
        {"-s -o out.kav /proc/self/mem", "Error reading file /proc/self/mem\n"},
        {"--flatten -s -o new.kav /proc/self/mem", "Error reading file /proc/self/mem\n"},
        {"--flatten -s -o out.kav bad.cif", "cif2kavrit: bad.cif:2: call of undefined symbol 7\n"},
        {"--keep-intermediates -o out.kav a.cif", "Error writing file CPS.gpc\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        Dir d;
        d.write("bad.cif", "L CPS;\nC 7;\nE\n");
        fs::create_symlink("/dev/full", d.path / "CPS.gpc");
        EXPECT_EQ(d.run(c.args), 1);
        EXPECT_EQ(d.read("err"), c.err);
        EXPECT_EQ(d.read("out.kav"), kOld);
        EXPECT_EQ(d.entries(), (Names{"a.cif", "bad.cif", "CPS.gpc", "out.kav", "sub", "out", "err"}));
    }
}

// A replaced output keeps its permission bits; a new one gets 0666 less the
// umask. A symbolic link at the output name stays a link and the file it
// leads to gets the output; a FIFO, a device, a file with a second name and
// one whose neighbour's name would be too long are written in place.
TEST(OutputSafety, OutputNamesKeepWhatTheyAre) {
    const std::string expected = plain_output();
    struct Case {
        std::string umask, out;
        int earlier;  // the earlier file's mode, -1 for none
        mode_t mode;
    };
    for (const Case& c : std::vector<Case>{{"022", "new.kav", -1, 0644}, {"077", "new.kav", -1, 0600},
                                           {"000", "new.kav", -1, 0666}, {"022", "out.kav", 0600, 0600},
                                           {"077", "out.kav", 0664, 0664}, {"000", "out.kav", 0750, 0750}}) {
        Dir d;
        if (c.earlier >= 0) chmod((d.path / c.out).c_str(), static_cast<mode_t>(c.earlier));
        EXPECT_EQ(d.sh("umask " + c.umask + " && '" + e2e::binary_path() + "' -s -o " + c.out + " a.cif"), 0);
        EXPECT_EQ(d.mode(c.out) & 07777, c.mode) << c.umask << " " << c.earlier;
        EXPECT_EQ(e2e::mask_time_line(d.read(c.out)), expected);
    }

    Dir d;
    const std::string long_name(250, 'k');
    d.write("sub/t.kav", kOld);
    d.write(long_name, kOld);
    fs::create_symlink("sub/t.kav", d.path / "link.kav");
    fs::create_symlink("t2.kav", d.path / "sub" / "rel.kav");  // relative to sub/
    fs::create_symlink("sub/rel.kav", d.path / "chain.kav");
    fs::create_symlink(d.path / "sub" / "abs.kav", d.path / "abs.kav");
    fs::create_hard_link(d.path / "out.kav", d.path / "two.kav");
    ASSERT_EQ(mkfifo((d.path / "pipe.kav").c_str(), 0644), 0);
    for (const std::string& out : std::vector<std::string>{"link.kav", "chain.kav", "abs.kav", "out.kav", long_name, "/dev/null"})
        EXPECT_EQ(d.run("-s -o " + out + " a.cif"), 0) << out;
    EXPECT_EQ(d.sh("( cat pipe.kav > got & '" + e2e::binary_path() + "' -s -o pipe.kav a.cif; s=$?; wait; exit $s )"), 0);
    for (const std::string file : {"sub/t.kav", "sub/t2.kav", "sub/abs.kav", "out.kav", "two.kav", "got", long_name.c_str()})
        EXPECT_EQ(e2e::mask_time_line(d.read(file)), expected) << file;
    for (const std::string link : {"link.kav", "chain.kav", "abs.kav", "sub/rel.kav"}) EXPECT_TRUE(S_ISLNK(d.mode(link)));
    EXPECT_TRUE(S_ISFIFO(d.mode("pipe.kav")));
    EXPECT_EQ(d.entries(), (Names{"a.cif", "sub", "sub/t.kav", "sub/rel.kav", "sub/t2.kav", "sub/abs.kav", "link.kav",
                                  "chain.kav", "abs.kav", "out.kav", "two.kav", "pipe.kav", "got", long_name, "out",
                                  "err"}));
}

// An interrupted run leaves an earlier output as it was, no temporary file,
// and (unless it keeps its intermediate files) none of the fixed names it
// removes at its end; it ends by the signal. The run reads its CIF file from
// a FIFO that the test holds open, so it waits until the signal comes.
TEST(OutputSafety, AnInterruptedRunLeavesTheEarlierOutput) {
    const char* const fixed[] = {"tmpdata1.file", "tmpdata2.file", "premason.file", "postmason.file", "minimizedm.file"};
    struct Case {
        int sig;
        const char* option;
        bool keeps;
    };
    for (const Case& c : std::vector<Case>{{SIGINT, "-s", false}, {SIGTERM, "-r", false}, {SIGHUP, "-s", false},
                                           {SIGTERM, "--flatten", false}, {SIGINT, "--keep-intermediates", true}}) {
        SCOPED_TRACE(std::to_string(c.sig) + c.option);
        Dir d;
        fs::remove(d.path / "a.cif");
        ASSERT_EQ(mkfifo((d.path / "in.cif").c_str(), 0644), 0);
        for (const char* name : fixed) d.write(name, "a file of the user's\n");
        std::string binary = e2e::binary_path(), option = c.option, o = "-o", out = "out.kav", in = "in.cif";
        char* argv[] = {binary.data(), option.data(), o.data(), out.data(), in.data(), nullptr};
        const pid_t pid = fork();
        if (pid == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            for (const int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
            if (chdir(d.path.c_str()) == 0) execv(argv[0], argv);
            _exit(127);
        }
        const int fifo = open((d.path / "in.cif").c_str(), O_WRONLY);  // once the run opens it
        ASSERT_GE(fifo, 0);
        ASSERT_EQ(write(fifo, "L CPS;\nB 20 10 5 5;\n", 20), 20);
        // Wait until the run holds a file of its directory open besides its input.
        const fs::path fds = "/proc/" + std::to_string(pid) + "/fd", dir = fs::canonical(d.path);
        bool open_output = false;
        while (!open_output && waitpid(pid, nullptr, WNOHANG) == 0) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(fds, ec)) {
                const fs::path target = fs::read_symlink(e.path(), ec);
                open_output = open_output || (!ec && target.parent_path() == dir && target.filename() != "in.cif");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(open_output);
        kill(pid, c.sig);
        int status = 0;
        waitpid(pid, &status, 0);
        close(fifo);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << status;
        EXPECT_EQ(d.read("out.kav"), kOld);
        Names expected = {"in.cif", "out.kav", "sub"};
        if (c.keeps) expected.insert(std::begin(fixed), std::end(fixed));
        EXPECT_EQ(d.entries(), expected);
    }
}
