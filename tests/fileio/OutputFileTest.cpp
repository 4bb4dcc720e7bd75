// Writing outputs into files: what may be replaced, what is followed, and what carries over to a
// replacing file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

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
