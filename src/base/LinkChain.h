#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The symbolic links between a path and the file it names, and whether they may be followed.
//
// A link is followed only where its owner cannot use it to make this process write (or read) a
// file the owner has no say over: the link belongs to the process's user, to the owner of the
// file at the end of the chain (who may change that file anyway), or to root in a directory of
// root's. So a link someone planted in a shared directory, pointing at another user's file, is
// refused, while a user's own links, and an administrator's links in a directory only root may
// change, are followed. A file not there yet counts as the process's own, since it would create it.
//
// Threading: a plain value; Open may be called from any thread.
class LinkChain {
  public:
    // Follows the links of path (a relative link from its own directory), at most 40. False, with
    // errno set, on a loop or a link that cannot be read. A missing end is no failure: a file
    // created there is the one the path names.
    bool Follow(const std::string& path);
    // The file at the end: path itself when it is no link.
    const std::string& Target() const { return mTarget; }
    // Empty when every link may be followed to a file owned by fileOwner; else why not, in a line
    // that names path.
    std::string Refusal(const std::string& path, uid_t fileOwner) const;

    // Opens the regular file path names, its links judged before (when flags create it) and after
    // the open against the owner of the file actually opened, which is opened without following a
    // link again (O_NOFOLLOW, and O_NONBLOCK, O_CLOEXEC, O_NOCTTY, are added to flags). The
    // descriptor, and target set to the file's path; or -1 with errno set (ENOENT for a missing
    // file that flags do not create) and error telling why.
    static int Open(const std::string& path, int flags, mode_t mode, std::string& target,
                    std::string& error);

    // The directory part of path: "." for a bare name, "/" for a name in the root.
    static std::string DirectoryOf(const std::string& path);

  private:
    struct Link {
        std::string path;
        uid_t owner;
        uid_t directoryOwner;
    };
    std::string mTarget;
    std::vector<Link> mLinks;
};
