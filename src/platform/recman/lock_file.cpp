// OFD byte locks and the shared change counter of a data file's lock file.
#include "platform/recman/lock_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recman {

namespace {

constexpr off_t counterAreaSize = 4096;

bool setLock(int fd, int64_t byte, short type, bool wait) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(byte);
    fl.l_len = 1;
    fl.l_pid = 0;  // must be 0 for OFD locks
    for (;;) {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

int openLockFile(const std::string& dataPath) {
    const std::string name = dataPath + ".lck";
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

LockResult lockByte(int fd, int64_t byte, bool exclusive, bool wait) {
    if (setLock(fd, byte, exclusive ? F_WRLCK : F_RDLCK, wait)) return LockResult::acquired;
    if (errno == EAGAIN || errno == EACCES) return LockResult::conflict;
    return LockResult::failed;
}

void unlockByte(int fd, int64_t byte) { setLock(fd, byte, F_UNLCK, false); }

std::atomic<uint64_t>* mapChangeCounter(int fd) {
    static_assert(std::atomic<uint64_t>::is_always_lock_free);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return nullptr;
    // Growing the file only ever adds zero bytes, so racing openers agree.
    if (st.st_size < counterAreaSize && ::ftruncate(fd, counterAreaSize) != 0) return nullptr;
    void* p = ::mmap(nullptr, counterAreaSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) return nullptr;
    return static_cast<std::atomic<uint64_t>*>(p);
}

void unmapChangeCounter(std::atomic<uint64_t>* counter) {
    if (counter != nullptr) ::munmap(counter, counterAreaSize);
}

}  // namespace recman
