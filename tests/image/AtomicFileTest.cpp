// Writing through a temporary file: what may be replaced, and what is followed.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include "image/AtomicFile.h"

namespace {

struct Folder {
    Folder() {
        char name[] = "/tmp/kws-atomic-XXXXXX";
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
        const bool ok = WriteFileAtomically(target, "new", 3, error, errnoValue);
        ::_exit(!ok && error == expected && errnoValue == EACCES ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(AtomicFile, AWriteProtectedFileIsNotReplaced) {
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

TEST(AtomicFile, LinksAreFollowedEvenWhenTheyDangle) {
    Folder dir;
    FileWriteError error;
    int errnoValue = 0;
    // A link to an existing file: the file gets the new bytes, the link stays a link.
    Put(dir.File("real.png"), "old");
    ASSERT_EQ(::symlink("real.png", dir.File("link.png").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.File("link.png"), "new", 3, error, errnoValue));
    EXPECT_EQ(Contents(dir.File("real.png")), "new");
    struct stat st;
    ASSERT_EQ(::lstat(dir.File("link.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // A link to a file not there yet: the file is made where the link points.
    ASSERT_EQ(::symlink((dir.path + "/made.png").c_str(), dir.File("dangling.png").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.File("dangling.png"), "made", 4, error, errnoValue));
    EXPECT_EQ(Contents(dir.File("made.png")), "made");
    ASSERT_EQ(::lstat(dir.File("dangling.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Entries(dir.path), 4);
}
