// What a run does to the files around it when it cannot finish: an output
// that is the input, a CIF file that cannot be read, a run that fails or is
// interrupted over an earlier output, and the kinds of file an output name may
// already be.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kLayout = "L CPS;\nB 2000 1000 1000 500;\nB 400 400 200 200;\nL CPT;\nB 800 800 3000 3000;\nE\n";
const std::string kOld = "an earlier kavrit file\n";

// A fresh directory that is removed again.
struct Dir {
    fs::path path;
    Dir() {
        std::string pattern = (fs::temp_directory_path() / "outsafe-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~Dir() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const { return e2e::read_file((path / name).string()); }
    // Runs a shell command in the directory; gives its exit status.
    int sh(const std::string& command) const {
        const std::string line = "cd '" + path.string() + "' && " + command;
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Every entry, hidden ones included, below the directory (relative paths).
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(path))
            names.insert(e.path().lexically_relative(path).string());
        return names;
    }
    mode_t mode(const std::string& name) const {
        struct stat st {};
        return lstat((path / name).c_str(), &st) == 0 ? st.st_mode : 0;
    }
};

std::string bin() { return "'" + e2e::binary_path() + "'"; }

// The kavrit file of kLayout converted with -s, written by a plain run.
std::string plain_output(const std::string& options = "-s") {
    Dir d;
    d.write("a.cif", kLayout);
    EXPECT_EQ(d.sh(bin() + " " + options + " -o plain.kav a.cif"), 0);
    return e2e::mask_time_line(d.read("plain.kav"));
}

}  // namespace

// An output that is the CIF file, under any name, is refused before anything
// is opened for writing: the layout stays, nothing else appears.
TEST(OutputSafety, AnOutputThatIsTheInputIsRefused) {
    struct Case {
        std::string command, out, cif;
    };
    const std::vector<Case> cases = {
        {"-s -o a.cif a.cif", "a.cif", "a.cif"},
        {"--flatten -s -o a.cif a.cif", "a.cif", "a.cif"},
        {"--keep-intermediates -s -o a.cif a.cif", "a.cif", "a.cif"},
        {"-o ./sub/../a.cif a.cif", "./sub/../a.cif", "a.cif"},
        {"-o link.cif a.cif", "link.cif", "a.cif"},  // a symbolic link to the input
        {"-s -o a.cif link.cif", "a.cif", "link.cif"},
        {"-s -o hard.cif a.cif", "hard.cif", "a.cif"},  // a second name of the same file
        {"--flatten -o chain.cif a.cif", "chain.cif", "a.cif"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Dir d;
        d.write("a.cif", kLayout);
        fs::create_directory(d.path / "sub");
        fs::create_symlink("a.cif", d.path / "link.cif");
        fs::create_symlink("link.cif", d.path / "chain.cif");
        fs::create_hard_link(d.path / "a.cif", d.path / "hard.cif");
        const std::set<std::string> before = d.entries();
        EXPECT_EQ(d.sh(bin() + " " + c.command + " >out 2>err"), 1);
        EXPECT_EQ(d.read("err"), "cif2kavrit: output file " + c.out + " is the CIF file " + c.cif + "; nothing written\n");
        EXPECT_EQ(d.read("out"), "");
        EXPECT_EQ(d.read("a.cif"), kLayout);
        std::set<std::string> after = d.entries();
        after.erase("out");
        after.erase("err");
        EXPECT_EQ(after, before);
    }
}

// A run that keeps its intermediate files writes them under names that the
// layout chooses; one that would replace the CIF file ends the run before it
// is touched.
TEST(OutputSafety, AKeptIntermediateFileNeverReplacesTheInput) {
    struct Case {
        std::string cif_name, command;
    };
    const std::vector<Case> cases = {
        {"CPS.gpc", "--keep-intermediates -s -o out.kav CPS.gpc"},
        {"CPS.gpc", "--flatten --keep-intermediates CPS.gpc"},
        {"premason.file", "--keep-intermediates -o out.kav premason.file"},
        {"sub/x.cif", "--keep-intermediates -s -o out.kav sub/x.cif"},  // CPT.gpc is a link to it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Dir d;
        fs::create_directory(d.path / "sub");
        d.write(c.cif_name, kLayout);
        fs::create_symlink("sub/x.cif", d.path / "CPT.gpc");
        d.write("out.kav", kOld);
        EXPECT_EQ(d.sh(bin() + " " + c.command + " >out 2>err"), 1);
        const std::string written = c.cif_name == "sub/x.cif" ? "CPT.gpc" : c.cif_name;
        EXPECT_EQ(d.read("err"), "cif2kavrit: intermediate file " + written + " is the CIF file " + c.cif_name +
                                     "; nothing more written\n");
        EXPECT_EQ(d.read(c.cif_name), kLayout);
        EXPECT_EQ(d.read("out.kav"), kOld);
    }
}

// A CIF file that cannot be read ends the run with status 1 and no output;
// an earlier output file stays as it was.
TEST(OutputSafety, ACifFileThatCannotBeReadEndsTheRun) {
    // Reading /proc/self/mem from its start fails with an I/O error.
    const bool have_proc = fs::exists("/proc/self/mem");
    struct Case {
        std::string command, err;
        bool proc;
    };
    const std::vector<Case> cases = {
        {"-s -o out.kav dir", "Error opening file dir\n", false},
        {"-s -o new.kav dir", "Error opening file dir\n", false},
        {"-s dir", "Error opening file dir\n", false},
        {"--flatten -o out.kav dir", "Error opening file dir\n", false},
        {"-s -o out.kav /proc/self/mem", "Error reading file /proc/self/mem\n", true},
        {"--flatten -s -o out.kav /proc/self/mem", "Error reading file /proc/self/mem\n", true},
        {"-s -o new.kav /proc/self/mem", "Error reading file /proc/self/mem\n", true},
    };
    for (const Case& c : cases) {
        if (c.proc && !have_proc) continue;
        SCOPED_TRACE(c.command);
        Dir d;
        fs::create_directory(d.path / "dir");
        d.write("dir/a.cif", kLayout);
        d.write("out.kav", kOld);
        EXPECT_EQ(d.sh(bin() + " " + c.command + " >out 2>err"), 1);
        EXPECT_EQ(d.read("err"), c.err);
        EXPECT_EQ(d.read("out.kav"), kOld);
        EXPECT_EQ(d.entries(), (std::set<std::string>{"dir", "dir/a.cif", "out.kav", "out", "err"}));
    }
}

// A run that fails after its output was opened leaves an earlier file of that
// name as it was, and no file where there was none.
TEST(OutputSafety, AFailedRunLeavesTheEarlierOutput) {
    struct Case {
        std::string command, err;
    };
    const std::vector<Case> cases = {
        {"--flatten -s -o out.kav bad.cif", "cif2kavrit: bad.cif:2: call of undefined symbol 7\n"},
        {"--flatten -o new.kav bad.cif", "cif2kavrit: bad.cif:2: call of undefined symbol 7\n"},
        // A kept intermediate file that cannot be written stops the run.
        {"--keep-intermediates -s -o out.kav a.cif", "Error writing file CPS.gpc\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Dir d;
        d.write("a.cif", kLayout);
        d.write("bad.cif", "L CPS;\nC 7;\nE\n");
        d.write("out.kav", kOld);
        fs::create_symlink("/dev/full", d.path / "CPS.gpc");
        EXPECT_EQ(d.sh(bin() + " " + c.command + " 2>err"), 1);
        EXPECT_EQ(d.read("err"), c.err);
        EXPECT_EQ(d.read("out.kav"), kOld);
        for (const std::string& name : d.entries())
            EXPECT_TRUE(name == "a.cif" || name == "bad.cif" || name == "out.kav" || name == "CPS.gpc" ||
                        name == "err")
                << name;
        EXPECT_FALSE(fs::exists(d.path / "new.kav"));
    }
}

// A replaced output keeps its permission bits; a new one gets 0666 less the
// umask, as any file the shell creates.
TEST(OutputSafety, PermissionBitsAreThoseUsersExpect) {
    const std::string expected = plain_output();
    struct Case {
        std::string umask;
        int existing;  // mode of an earlier file, or -1 for none
        mode_t mode;
    };
    const std::vector<Case> cases = {
        {"022", -1, 0644}, {"027", -1, 0640}, {"077", -1, 0600}, {"000", -1, 0666},
        {"022", 0600, 0600}, {"077", 0664, 0664}, {"022", 0755, 0755}, {"000", 0640, 0640},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("umask " + c.umask + ", earlier mode " + std::to_string(c.existing));
        Dir d;
        d.write("a.cif", kLayout);
        if (c.existing >= 0) {
            d.write("out.kav", kOld);
            ASSERT_EQ(chmod((d.path / "out.kav").c_str(), static_cast<mode_t>(c.existing)), 0);
        }
        EXPECT_EQ(d.sh("umask " + c.umask + " && " + bin() + " -s -o out.kav a.cif"), 0);
        EXPECT_EQ(d.mode("out.kav") & 07777, c.mode);
        EXPECT_TRUE(S_ISREG(d.mode("out.kav")));
        EXPECT_EQ(e2e::mask_time_line(d.read("out.kav")), expected);
        EXPECT_EQ(d.entries(), (std::set<std::string>{"a.cif", "out.kav"}));
    }
}

// A symbolic link at the output name stays a link, and the file it points
// to (existing or not) gets the output; a file with a second name is written
// in place, so both names see the output.
TEST(OutputSafety, LinksAtTheOutputNameStay) {
    const std::string expected = plain_output();
    Dir d;
    d.write("a.cif", kLayout);
    fs::create_directory(d.path / "sub");
    d.write("sub/t.kav", kOld);
    fs::create_symlink("sub/t.kav", d.path / "link.kav");
    fs::create_symlink("t2.kav", d.path / "sub" / "rel.kav");  // relative to sub/
    fs::create_symlink("sub/rel.kav", d.path / "chain.kav");
    fs::create_symlink(d.path / "sub" / "abs.kav", d.path / "abs.kav");  // dangling, absolute
    d.write("one.kav", kOld);
    fs::create_hard_link(d.path / "one.kav", d.path / "two.kav");
    for (const std::string out : {"link.kav", "chain.kav", "abs.kav", "one.kav"})
        EXPECT_EQ(d.sh(bin() + " -s -o " + out + " a.cif"), 0) << out;
    for (const std::string link : {"link.kav", "chain.kav", "abs.kav", "sub/rel.kav"})
        EXPECT_TRUE(S_ISLNK(d.mode(link))) << link;
    for (const std::string file : {"sub/t.kav", "sub/t2.kav", "sub/abs.kav", "one.kav", "two.kav"})
        EXPECT_EQ(e2e::mask_time_line(d.read(file)), expected) << file;
    EXPECT_EQ(d.entries(), (std::set<std::string>{"a.cif", "sub", "sub/t.kav", "link.kav", "sub/rel.kav", "sub/t2.kav",
                                                  "chain.kav", "abs.kav", "sub/abs.kav", "one.kav", "two.kav"}));
}

// A FIFO or a device at the output name is written straight through and
// stays what it is; so is a file whose temporary neighbour cannot be made
// (its name would be too long for the file system).
TEST(OutputSafety, SpecialFilesAndLongNamesAreWrittenInPlace) {
    const std::string expected = plain_output();
    Dir d;
    d.write("a.cif", kLayout);
    ASSERT_EQ(mkfifo((d.path / "pipe.kav").c_str(), 0644), 0);
    EXPECT_EQ(d.sh("( cat pipe.kav > got & " + bin() + " -s -o pipe.kav a.cif; s=$?; wait; exit $s )"), 0);
    EXPECT_TRUE(S_ISFIFO(d.mode("pipe.kav")));
    EXPECT_EQ(e2e::mask_time_line(d.read("got")), expected);
    EXPECT_EQ(d.sh(bin() + " -s -o /dev/null a.cif"), 0);
    struct stat st {};
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    const std::string long_name(250, 'k');
    d.write(long_name, kOld);
    EXPECT_EQ(d.sh(bin() + " -s -o " + long_name + " a.cif"), 0);
    EXPECT_EQ(e2e::mask_time_line(d.read(long_name)), expected);
    EXPECT_EQ(d.entries(), (std::set<std::string>{"a.cif", "pipe.kav", "got", long_name}));
}

// Where no new file can be made beside the output but the output itself may
// be written, it is written in place as before. Root may write anywhere, so
// the case exists for other users only.
TEST(OutputSafety, AnUnwritableDirectoryFallsBackToWritingInPlace) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
    const std::string expected = plain_output();
    Dir d;
    d.write("a.cif", kLayout);
    d.write("out.kav", kOld);
    fs::permissions(d.path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(d.sh(bin() + " -s -o out.kav a.cif"), 0);
    EXPECT_EQ(e2e::mask_time_line(d.read("out.kav")), expected);
    EXPECT_EQ(d.sh(bin() + " -s -o new.kav a.cif 2>err.txt"), 1);
    fs::permissions(d.path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(d.entries(), (std::set<std::string>{"a.cif", "out.kav"}));
}

// ------------------------------------------------------------ signals ----

namespace {

// A conversion whose CIF file is a FIFO that the test writes: the run waits
// for the rest of its input for as long as the test keeps the FIFO open.
class StalledRun {
public:
    StalledRun(const Dir& d, const std::vector<std::string>& args, bool ignore_hangup = false) : dir_(d) {
        const std::string binary = e2e::binary_path();
        std::vector<std::string> words = {"cif2kavrit"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        const std::string cwd = d.path.string();
        const std::string err = (d.path / ".." / (d.path.filename().string() + ".err")).string();
        err_name_ = err;
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || chdir(cwd.c_str()) != 0) _exit(127);
            dup2(fd, 2);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            for (const int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
            if (ignore_hangup) signal(SIGHUP, SIG_IGN);
            execv(binary.c_str(), argv.data());
            _exit(127);
        }
    }
    ~StalledRun() {
        if (writer_ >= 0) close(writer_);
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ec;
        fs::remove(err_name_, ec);
    }

    // Opens the input FIFO once the run has opened it, and writes `text`.
    bool feed(const std::string& fifo, const std::string& text) {
        while (writer_ < 0) {
            writer_ = open((dir_.path / fifo).c_str(), O_WRONLY | O_NONBLOCK);
            if (writer_ < 0 && (errno != ENXIO || !running())) return false;
            if (writer_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return write(writer_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Waits until the run holds a file of its directory open other than its
    // input: its output is open.
    bool wait_for_output_open(const std::string& input) {
        const fs::path fds = "/proc/" + std::to_string(pid_) + "/fd";
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (running() && std::chrono::steady_clock::now() < give_up) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(fds, ec)) {
                const fs::path target = fs::read_symlink(e.path(), ec);
                if (!ec && target.parent_path() == fs::canonical(dir_.path) && target.filename() != input)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    void close_input() {
        close(writer_);
        writer_ = -1;
    }
    void send(int sig) const { kill(pid_, sig); }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return status;
    }
    std::string err() const { return e2e::read_file(err_name_); }

private:
    bool running() const {
        int status = 0;
        return waitpid(pid_, &status, WNOHANG) == 0;
    }
    const Dir& dir_;
    pid_t pid_ = -1;
    int writer_ = -1;
    bool reaped_ = false;
    std::string err_name_;
};

const std::string kFixedNames[] = {"tmpdata1.file", "tmpdata2.file", "premason.file", "postmason.file",
                                   "minimizedm.file"};

}  // namespace

// An interrupted run leaves an earlier output as it was, no temporary file,
// and (unless it keeps its intermediate files) none of the fixed names it
// removes at its end; it ends by the signal.
TEST(OutputSafety, AnInterruptedRunLeavesTheEarlierOutput) {
    if (!fs::exists("/proc/self/fd")) GTEST_SKIP() << "needs /proc";
    struct Case {
        int sig;
        std::vector<std::string> options;
        bool keeps;
    };
    const std::vector<Case> cases = {
        {SIGINT, {"-s"}, false},          {SIGTERM, {"-s"}, false},
        {SIGHUP, {"-s"}, false},          {SIGTERM, {"--flatten", "-r"}, false},
        {SIGINT, {"--flatten"}, false},   {SIGHUP, {"--keep-intermediates", "-s"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.sig)) + " " + c.options[0]);
        Dir d;
        ASSERT_EQ(mkfifo((d.path / "in.cif").c_str(), 0644), 0);
        d.write("out.kav", kOld);
        for (const std::string& name : kFixedNames) d.write(name, "a file of the user's\n");
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"-o", "out.kav", "in.cif"});
        StalledRun run(d, args);
        ASSERT_TRUE(run.feed("in.cif", "L CPS;\nB 2000 1000 1000 500;\n"));
        ASSERT_TRUE(run.wait_for_output_open("in.cif"));
        run.send(c.sig);
        const int status = run.wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << status;
        EXPECT_EQ(run.err(), "");
        EXPECT_EQ(d.read("out.kav"), kOld);
        std::set<std::string> expected = {"in.cif", "out.kav"};
        if (c.keeps) expected.insert(std::begin(kFixedNames), std::end(kFixedNames));
        EXPECT_EQ(d.entries(), expected);
    }
}

// A hangup ignored when the run starts (as under nohup) stays ignored: the
// run goes on and puts its output in place. (The --flatten reader reads its
// input from start to end; the default reading steps back in the file, which
// a FIFO does not allow.)
TEST(OutputSafety, AnIgnoredHangupLetsTheRunFinish) {
    if (!fs::exists("/proc/self/fd")) GTEST_SKIP() << "needs /proc";
    const std::string expected = plain_output("--flatten -s");
    Dir d;
    ASSERT_EQ(mkfifo((d.path / "in.cif").c_str(), 0644), 0);
    d.write("out.kav", kOld);
    StalledRun run(d, {"--flatten", "-s", "-o", "out.kav", "in.cif"}, true);
    ASSERT_TRUE(run.feed("in.cif", kLayout.substr(0, 20)));
    ASSERT_TRUE(run.wait_for_output_open("in.cif"));
    run.send(SIGHUP);
    ASSERT_TRUE(run.feed("in.cif", kLayout.substr(20)));
    run.close_input();
    const int status = run.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // The header names the input file, which is in.cif here.
    std::string got = e2e::mask_time_line(d.read("out.kav"));
    const std::size_t at = got.find("in.cif");
    ASSERT_NE(at, std::string::npos);
    got.replace(at, 6, "a.cif");
    EXPECT_EQ(got, expected);
    EXPECT_EQ(d.entries(), (std::set<std::string>{"in.cif", "out.kav"}));
}
