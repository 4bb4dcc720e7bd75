// Writing outputs: what may be replaced, what is followed, what carries over to a replacing file,
// and what is written into instead of being replaced.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "fileio/OutputFile.h"

using kws::fileio::FileWriteError;
using kws::fileio::OutputFile;
using kws::fileio::WriteOutput;

namespace {

struct Folder {
    Folder() {
        char name[] = "/tmp/kws-output-XXXXXX";
        path = ::mkdtemp(name);
        ::chmod(path.c_str(), 0777);  // a user without privileges may create files here
    }
    ~Folder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

int Entries(const std::string& folder) {
    int n = 0;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.' || e->d_name[1] > '.';
        ::closedir(d);
    }
    return n;
}

// Reads a descriptor to its end.
std::string Drain(int fd) {
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) all.append(buffer, static_cast<size_t>(n));
    return all;
}

}  // namespace

// Writes `target` as an ordinary user in a child (the superuser may write anything); true when
// the write fails with `expected` and EACCES.
bool RefusedAsOrdinaryUser(const std::string& target, FileWriteError expected) {
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        FileWriteError error;
        int errnoValue = 0;
        const bool ok = WriteOutput(target, "new", 3, error, errnoValue);
        ::_exit(!ok && error == expected && errnoValue == EACCES ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(OutputFile, AWriteProtectedFileIsNotReplaced) {
    Folder dir;
    const std::string target = dir.File("old.png");
    Put(target, "old picture");
    ::chmod(target.c_str(), 0444);
    EXPECT_TRUE(RefusedAsOrdinaryUser(target, FileWriteError::kWriteFailed));
    // In a write-protected folder the folder is named as the reason.
    ::chmod(dir.path.c_str(), 0555);
    EXPECT_TRUE(RefusedAsOrdinaryUser(target, FileWriteError::kReadOnlyFolder));
    ::chmod(dir.path.c_str(), 0777);
    EXPECT_EQ(Contents(target), "old picture");
    EXPECT_EQ(Entries(dir.path), 1);  // no temporary file left
}

TEST(OutputFile, LinksAreFollowedEvenWhenTheyDangle) {
    Folder dir;
    FileWriteError error;
    int errnoValue = 0;
    // A link to an existing file: the file gets the new bytes, the link stays a link.
    Put(dir.File("real.png"), "old");
    ASSERT_EQ(::symlink("real.png", dir.File("link.png").c_str()), 0);
    ASSERT_TRUE(WriteOutput(dir.File("link.png"), "new", 3, error, errnoValue));
    EXPECT_EQ(Contents(dir.File("real.png")), "new");
    struct stat st;
    ASSERT_EQ(::lstat(dir.File("link.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // A link to a file not there yet: the file is made where the link points.
    ASSERT_EQ(::symlink((dir.path + "/made.png").c_str(), dir.File("dangling.png").c_str()), 0);
    ASSERT_TRUE(WriteOutput(dir.File("dangling.png"), "made", 4, error, errnoValue));
    EXPECT_EQ(Contents(dir.File("made.png")), "made");
    ASSERT_EQ(::lstat(dir.File("dangling.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Entries(dir.path), 4);
}

TEST(OutputFile, AReplacingFileKeepsModeAndOwner) {
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* name;
        mode_t mode;
        bool rework;    // a writer puts a new file in place of the temporary one
        bool stranger;  // the file belongs to another user (only the superuser can keep that)
    } cases[] = {
        {"plain", 0640, false, false},
        {"reworked", 0600, true, false},
        {"group-writable reworked", 0664, true, false},
        {"a stranger's", 0644, false, true},
        {"a stranger's reworked", 0604, true, true},
    };
    for (const Case& c : cases) {
        if (c.stranger && !root) continue;
        Folder dir;
        const std::string target = dir.File("out.jpg");
        Put(target, "old");
        ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
        if (c.stranger) {
            ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
        }
        struct stat before;
        ASSERT_EQ(::stat(target.c_str(), &before), 0);
        OutputFile file(target);
        ASSERT_TRUE(file.Open()) << c.name;
        if (c.rework) {
            const std::string path = file.PathForWriter();
            Put(path + ".new", "new");
            ASSERT_EQ(::rename((path + ".new").c_str(), path.c_str()), 0);
        } else {
            ASSERT_TRUE(file.Write("new", 3));
        }
        ASSERT_TRUE(file.Commit()) << c.name << ": " << file.ErrnoValue();
        struct stat after;
        ASSERT_EQ(::stat(target.c_str(), &after), 0);
        EXPECT_EQ(Contents(target), "new") << c.name;
        EXPECT_NE(after.st_ino, before.st_ino) << c.name;  // a new file, not the old one
        EXPECT_EQ(after.st_mode & 07777, c.mode) << c.name;
        EXPECT_EQ(after.st_uid, before.st_uid) << c.name;
        EXPECT_EQ(after.st_gid, before.st_gid) << c.name;
        EXPECT_EQ(Entries(dir.path), 1) << c.name;
    }
}

TEST(OutputFile, StreamsAreWrittenIntoAndNeverReplaced) {
    const bool root = ::geteuid() == 0;
    const std::string text(100000, 'x');
    struct Case {
        const char* kind;  // "fifo", "pipe" (named as /dev/fd/N), "null", "full" (devices)
        bool spool;        // written through PathForWriter instead of Write
        int error;         // expected errno, 0 for success
    } cases[] = {
        {"fifo", false, 0}, {"fifo", true, 0}, {"pipe", false, 0},      {"pipe", true, 0},
        {"null", false, 0}, {"null", true, 0}, {"full", false, ENOSPC}, {"full", true, ENOSPC},
    };
    for (const Case& c : cases) {
        const std::string kind = c.kind;
        const bool device = kind == "null" || kind == "full";
        if (device && !root) continue;  // only the superuser makes device nodes
        Folder dir;
        std::string target = dir.File("node");
        int readEnd = -1, writeEnd = -1;
        if (kind == "fifo") {
            ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
        } else if (kind == "pipe") {
            int fds[2];
            ASSERT_EQ(::pipe(fds), 0);
            readEnd = fds[0];
            writeEnd = fds[1];
            target = "/dev/fd/" + std::to_string(writeEnd);
        } else {
            ASSERT_EQ(::mknod(target.c_str(), S_IFCHR | 0666, makedev(1, kind == "null" ? 3 : 7)),
                      0);
        }
        struct stat before;
        ASSERT_EQ(::stat(target.c_str(), &before), 0);
        std::string received;
        std::thread reader([&] {
            // A reader that gives up after a while: a pipe that was replaced never gets a writer.
            if (kind == "fifo") {
                FILE* p = ::popen(("timeout 30 cat '" + target + "'").c_str(), "r");
                received = Drain(::fileno(p));
                ::pclose(p);
            } else if (kind == "pipe") {
                received = Drain(readEnd);
            }
        });
        {
            OutputFile file(target);
            bool ok = file.Open();
            if (ok && c.spool) {
                const std::string path = file.PathForWriter();
                ok = !path.empty();
                Put(path, text);
            } else if (ok) {
                ok = file.Write(text.data(), text.size());
            }
            ok = ok && file.Commit();
            EXPECT_TRUE(file.IsStream()) << c.kind;
            EXPECT_EQ(ok, c.error == 0) << c.kind << " " << c.spool;
            EXPECT_EQ(file.ErrnoValue(), c.error) << c.kind << " " << c.spool;
        }
        if (writeEnd >= 0) ::close(writeEnd);
        reader.join();
        if (readEnd >= 0) ::close(readEnd);
        if (!device) {
            EXPECT_EQ(received, text) << c.kind << " " << c.spool;
        }
        if (kind != "pipe") {
            struct stat after;
            ASSERT_EQ(::stat(target.c_str(), &after), 0);
            EXPECT_EQ(after.st_ino, before.st_ino) << c.kind;
            EXPECT_EQ(after.st_mode, before.st_mode) << c.kind;
            EXPECT_EQ(after.st_rdev, before.st_rdev) << c.kind;
            EXPECT_EQ(Entries(dir.path), 1) << c.kind;
        }
    }
}

TEST(OutputFile, StandardOutputAndDescriptorsByName) {
    using kws::fileio::DescriptorOfName;
    const struct {
        const char* name;
        int fd;
    } cases[] = {
        {"-", 1},
        {"/dev/stdout", 1},
        {"/dev/stderr", 2},
        {"/dev/fd/7", 7},
        {"/proc/self/fd/1", 1},
        {"/dev/fd/", -1},
        {"/dev/fd/1x", -1},
        {"./-", -1},
        {"--", -1},
        {"/dev/null", -1},
        {"stdout", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(DescriptorOfName(c.name), c.fd) << c.name;
}
