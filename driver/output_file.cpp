#include "driver/output_file.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/run_error.h"
#include "common/file_names.h"

namespace driver {

namespace {

constexpr int INTERRUPTS[] = {SIGINT, SIGTERM, SIGHUP};

// The output while it is being written. `temporary` is the file being written
// beside `target` (empty when the output is written in place); the clean-ups
// read only what is set before they are installed.
struct UnfinishedOutput {
    std::FILE* file = nullptr;  // open until the run closes it
    std::string name;           // as the command line gives it
    std::string target;         // what the temporary file is renamed onto
    std::string temporary;
    bool remove_fixed_names = false;
    volatile std::sig_atomic_t complete = 0;
};
UnfinishedOutput unfinished;

// A run that ends early (every RunError ends the process through the
// driver's return from main) leaves no
// half-written output: the temporary file goes, and so does a regular file
// written in place (a FIFO or a device at the output name stays as it is).
void discard_unfinished_output() {
    if (unfinished.complete != 0) return;
    if (unfinished.file != nullptr) std::fclose(unfinished.file);
    unfinished.file = nullptr;
    if (!unfinished.temporary.empty()) {
        unlink(unfinished.temporary.c_str());
        return;
    }
    if (unfinished.name.empty()) return;
    struct stat st {};
    if (lstat(unfinished.name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(unfinished.name.c_str());
}

// The same on a signal, with calls that are safe there only, then the end by
// that signal as without the handler.
extern "C" void on_interrupt(int sig) {
    if (unfinished.complete == 0) {
        if (!unfinished.temporary.empty()) {
            unlink(unfinished.temporary.c_str());
        } else if (!unfinished.name.empty()) {
            struct stat st {};
            if (lstat(unfinished.name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(unfinished.name.c_str());
        }
    }
    if (unfinished.remove_fixed_names)
        for (const char* name : common::TEMPORARY_FILES) unlink(name);
    std::signal(sig, SIG_DFL);
    std::raise(sig);  // delivered when this handler returns
}

// An exception that leaves main aborts the run; the output is discarded first.
[[noreturn]] void on_terminate() {
    discard_unfinished_output();
    std::abort();
}

void set_interrupts_blocked(bool blocked) {
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : INTERRUPTS) sigaddset(&set, sig);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// The directory part of `path` including its last '/', or "" for a name in
// the current directory.
std::string directory_part(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path that opening `name` for writing would write: `name` with every
// symbolic link at its last component followed (relative targets taken from
// the link's directory). A chain of links that does not end (more than 40)
// gives `name` back.
std::string final_target(const std::string& name) {
    std::string path = name;
    for (int hop = 0; hop <= 40; ++hop) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t got = readlink(path.c_str(), link.data(), link.size());
        if (got < 0 || static_cast<std::size_t>(got) >= link.size()) return name;  // changed meanwhile
        link.resize(static_cast<std::size_t>(got));
        path = (!link.empty() && link[0] == '/') ? link : directory_part(path) + link;
    }
    return name;
}

// The last component of a path.
std::string base_part(const std::string& path) { return path.substr(directory_part(path).size()); }

// Creates a new file beside `target` with the permission bits `mode` (which
// the umask narrows, as for any new file); -1 with errno set when none can be
// made.
int create_neighbour(const std::string& target, mode_t mode, std::string& made) {
    static const char DIGITS[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    // Names another run could not guess at once; O_EXCL settles any clash.
    std::mt19937_64 pick(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         static_cast<std::uint64_t>(getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = directory_part(target) + "." + base_part(target) + ".";
        for (int k = 0; k < 6; ++k) name.push_back(DIGITS[pick() % 36]);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            made = std::move(name);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// The output written beside its target, or null when it must be written in
// place: the target is no regular file, may not be written, has other links,
// or its temporary neighbour cannot be made with the target's owner.
std::FILE* open_beside(const std::string& target) {
    struct stat old {};
    const bool exists = lstat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return nullptr;
    if (exists && (!S_ISREG(old.st_mode) || old.st_nlink != 1 ||
                   faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return nullptr;
    std::string made;
    const int fd = create_neighbour(target, 0666, made);
    if (fd < 0) return nullptr;
    bool kept = true;
    if (exists) {
        struct stat now {};
        kept = fstat(fd, &now) == 0;
        if (kept && (now.st_uid != old.st_uid || now.st_gid != old.st_gid))
            kept = fchown(fd, old.st_uid, old.st_gid) == 0;
        if (kept) kept = fchmod(fd, old.st_mode & 07777) == 0;
    }
    std::FILE* file = kept ? fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        close(fd);
        unlink(made.c_str());
        return nullptr;
    }
    unfinished.temporary = std::move(made);
    return file;
}

}  // namespace

std::FILE* open_input(const std::string& name) {
    std::FILE* file = common::open_file(name, "rb");
    // A directory opens for reading, but every read of it fails.
    struct stat st {};
    if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) throw common::open_error(name);
    return file;
}

namespace {

// An anonymous file: in memory where the system offers that, else a
// temporary file that is gone once closed.
std::FILE* anonymous_file() {
    const int fd = memfd_create("cif2kavrit-input", MFD_CLOEXEC);
    if (fd >= 0) {
        if (std::FILE* f = fdopen(fd, "w+b")) return f;
        close(fd);
    }
    return std::tmpfile();
}

}  // namespace

std::FILE* rereadable_input(std::FILE* cif, const std::string& name) {
    struct stat st {};
    if (fstat(fileno(cif), &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) return cif;
    std::FILE* copy = anonymous_file();
    const common::RunError read_error("Error reading file " + name + "\n");
    if (copy == nullptr) throw read_error;
    std::vector<char> piece(1 << 16);
    std::size_t got = 0;
    while ((got = std::fread(piece.data(), 1, piece.size(), cif)) > 0) {
        if (std::fwrite(piece.data(), 1, got, copy) != got) break;
    }
    const bool failed = std::ferror(cif) != 0 || std::ferror(copy) != 0 || std::fflush(copy) != 0;
    std::fclose(cif);
    if (failed) {
        std::fclose(copy);
        throw read_error;
    }
    std::rewind(copy);
    return copy;
}

void refuse_output_that_is_input(const std::string& out_name, std::FILE* cif, const std::string& cif_name) {
    struct stat in {}, out {};
    if (fstat(fileno(cif), &in) != 0 || stat(out_name.c_str(), &out) != 0) return;
    if (in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        throw common::RunError("cif2kavrit: output file " + out_name + " is the CIF file " + cif_name +
                               "; nothing written\n");
}

std::FILE* open_output(const std::string& name) {
    // An interrupt waits until the clean-ups know the file they remove.
    set_interrupts_blocked(true);
    unfinished.name = name;
    unfinished.target = final_target(name);
    std::FILE* file = open_beside(unfinished.target);
    if (file == nullptr) file = common::open_file(name, "w");
    unfinished.file = file;
    std::atexit(discard_unfinished_output);
    std::set_terminate(on_terminate);
    set_interrupts_blocked(false);
    return file;
}

void finish_output(std::FILE* file, const std::string& name) {
    // Once the file is in place an interrupt must not remove it.
    set_interrupts_blocked(true);
    unfinished.file = nullptr;
    common::close_written(file, name);
    if (!unfinished.temporary.empty() && std::rename(unfinished.temporary.c_str(), unfinished.target.c_str()) != 0)
        throw common::write_error(name);
    unfinished.complete = 1;
    set_interrupts_blocked(false);
}

void clean_up_on_signals(bool keep_intermediates) {
    unfinished.remove_fixed_names = !keep_intermediates;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    for (const int sig : INTERRUPTS) sigaddset(&action.sa_mask, sig);
    for (const int sig : INTERRUPTS) {
        struct sigaction before {};
        // A signal ignored when the run starts (nohup) stays ignored.
        if (sigaction(sig, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
}

}  // namespace driver
