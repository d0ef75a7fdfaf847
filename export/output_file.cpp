#include "export/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string write_temporary(const PendingFile& file) {
    std::string name = file.path + ".XXXXXX";
    std::vector<char> templ(name.begin(), name.end());
    templ.push_back('\0');
    int fd = mkstemp(templ.data());
    if (fd < 0) throw OutputError("cannot create a file beside " + file.path + ": " + reason());
    std::string temp(templ.data());
    const char* data = file.content.data();
    std::size_t left = file.content.size();
    bool ok = fchmod(fd, new_file_mode()) == 0;
    while (ok && left > 0) {
        ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
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
    std::vector<std::string> temps;
    try {
        for (const PendingFile& f : files) temps.push_back(write_temporary(f));
    } catch (...) {
        for (const std::string& t : temps) std::remove(t.c_str());
        throw;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (std::rename(temps[i].c_str(), files[i].path.c_str()) != 0) {
            std::string why = reason();
            for (std::size_t k = i; k < temps.size(); ++k) std::remove(temps[k].c_str());
            throw OutputError("cannot write " + files[i].path + ": " + why);
        }
    }
}

}  // namespace kavrit
