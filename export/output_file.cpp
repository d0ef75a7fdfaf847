#include "export/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace kavrit {

namespace {

std::string reason() { return std::strerror(errno); }

// The permissions a newly created file would get (0666 less the umask);
// mkstemp itself makes 0600.
mode_t new_file_mode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Every byte of `content` to `fd`; false with errno set when a write fails.
bool write_all(int fd, const std::string& content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The file a name stands for: at the end of its chain of symbolic links (the
// links stay; the file they lead to is replaced), or the name itself.  A link
// that leads nowhere yet names the file to make.
std::string link_target(const std::string& path) {
    std::string name = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 64);
        ssize_t n;
        while ((n = readlink(name.c_str(), buf.data(), buf.size())) >= 0 &&
               static_cast<std::size_t>(n) == buf.size())
            buf.resize(buf.size() * 2);
        if (n < 0) throw OutputError("cannot write " + path + ": " + reason());
        std::string to(buf.data(), static_cast<std::size_t>(n));
        const auto slash = name.find_last_of('/');
        name = to.empty() || to[0] == '/' || slash == std::string::npos ? to : name.substr(0, slash + 1) + to;
    }
    throw OutputError("cannot write " + path + ": too many levels of symbolic links");
}

// A FIFO or a device takes the bytes as they come: it is written through,
// never replaced.
bool is_written_through(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
}

void write_through(const std::string& path, const PendingFile& file) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw OutputError("cannot write " + file.path + ": " + reason());
    bool ok = write_all(fd, file.content);
    std::string why = ok ? "" : reason();
    if (close(fd) != 0 && ok) {
        ok = false;
        why = reason();
    }
    if (!ok) throw OutputError("cannot write " + file.path + ": " + why);
}

std::string write_temporary(const std::string& target, const PendingFile& file) {
    std::string name = target + ".XXXXXX";
    std::vector<char> templ(name.begin(), name.end());
    templ.push_back('\0');
    int fd = mkstemp(templ.data());
    if (fd < 0) throw OutputError("cannot create a file beside " + file.path + ": " + reason());
    std::string temp(templ.data());
    bool ok = fchmod(fd, new_file_mode()) == 0 && write_all(fd, file.content);
    std::string why = ok ? "" : reason();
    if (close(fd) != 0 && ok) {
        ok = false;
        why = reason();
    }
    if (!ok) {
        std::remove(temp.c_str());
        throw OutputError("cannot write " + file.path + ": " + why);
    }
    return temp;
}

}  // namespace

void write_files(const std::vector<PendingFile>& files) {
    // Regular files first to temporaries, then FIFOs and devices straight,
    // then the temporaries renamed over their targets.
    std::vector<std::string> targets, temps;  // temps[i] empty: written through
    try {
        for (const PendingFile& f : files) {
            targets.push_back(link_target(f.path));
            temps.push_back(is_written_through(targets.back()) ? "" : write_temporary(targets.back(), f));
        }
        for (std::size_t i = 0; i < files.size(); ++i)
            if (temps[i].empty()) write_through(targets[i], files[i]);
    } catch (...) {
        for (const std::string& t : temps)
            if (!t.empty()) std::remove(t.c_str());
        throw;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (temps[i].empty()) continue;
        if (std::rename(temps[i].c_str(), targets[i].c_str()) != 0) {
            std::string why = reason();
            for (std::size_t k = i; k < temps.size(); ++k)
                if (!temps[k].empty()) std::remove(temps[k].c_str());
            throw OutputError("cannot write " + files[i].path + ": " + why);
        }
    }
}

}  // namespace kavrit
