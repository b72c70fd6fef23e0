// The POSIX journal: the owner's changes merged under a mutex and written by a
// thread of the journal's own.
#include "base/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/file.h"
#include "base/saved_file.h"

namespace base {

namespace {

// The first `count` bytes of `from` into `to` at its start, in the kernel
// where the file system can.
bool copy_start(int from, int to, std::uint64_t count) {
  loff_t in = 0, out = 0;
  while (count > 0) {
    const ssize_t n = copy_file_range(from, &in, to, &out, count, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) break;
    if (n <= 0) return false;
    count -= static_cast<std::uint64_t>(n);
  }
  char buffer[1 << 16];
  while (count > 0) {
    const ssize_t n = pread(from, buffer, count < sizeof buffer ? count : sizeof buffer, in);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || !write_at(to, std::string_view(buffer, static_cast<std::size_t>(n)), static_cast<std::uint64_t>(out)))
      return false;
    in += n, out += n;
    count -= static_cast<std::uint64_t>(n);
  }
  return true;
}

class FileJournal final : public Journal {
 public:
  FileJournal(std::string path, Options options);
  ~FileJournal() override;
  FileJournal(const FileJournal&) = delete;
  FileJournal& operator=(const FileJournal&) = delete;

  bool adopt(std::uint64_t bytes) override;
  void append(std::string bytes) override;
  void replace_from(std::uint64_t keep, std::string bytes) override;
  void set_aside(std::string name) override;
  std::uint64_t length() const override { return length_; }
  bool flush() override;
  std::string failure() const override;

 private:
  struct Op {
    std::uint64_t keep = 0;  // bytes of the contents before it that stay
    std::string bytes;       // what follows them
    std::string aside;       // or, when set: keep the file at this name
  };
  static void merge_into(std::vector<Op>& pending, Op op);
  void hand_over(Op op);
  bool write(std::vector<Op>& ops);  // with write_lock_ held
  bool apply(const Op& op, std::string& why);
  bool append_here(const std::string& bytes, std::string& why);
  bool rewrite(std::uint64_t keep, const std::string& bytes, std::string& why);
  bool still_here() const;
  bool lock_held(std::string& why);
  void run();

  const std::string path_;
  Options options_;
  std::uint64_t length_ = 0;  // owner's thread

  mutable std::mutex lock_;  // guards the five below
  std::condition_variable wake_;
  std::vector<Op> pending_;
  bool ending_ = false;
  std::uint64_t handed_ = 0, tried_ = 0;  // hand-overs made and seen by the writer
  std::string failure_;

  std::mutex write_lock_;      // one write at a time; guards the two below
  int fd_ = -1;                // the file at path_ as last written
  std::uint64_t on_disk_ = 0;  // bytes of the contents it holds
  bool fresh_file_ = true;     // the next write begins a new file
  std::thread writer_;
};

}  // namespace

std::unique_ptr<Journal> file_journal(std::string path, Journal::Options options) {
  return std::make_unique<FileJournal>(std::move(path), std::move(options));
}

// Appends `op` to what is pending, merged with the write before it.
void FileJournal::merge_into(std::vector<Op>& pending, Op op) {
  if (!op.aside.empty() || pending.empty() || !pending.back().aside.empty()) {
    pending.push_back(std::move(op));
    return;
  }
  Op& last = pending.back();
  if (op.keep >= last.keep) {
    last.bytes.resize(op.keep - last.keep);
    last.bytes += op.bytes;
  } else {
    last = std::move(op);
  }
}

FileJournal::FileJournal(std::string path, Options options)
    : path_(std::move(path)), options_(std::move(options)), writer_([this] { run(); }) {}

FileJournal::~FileJournal() {
  {
    std::lock_guard<std::mutex> l(lock_);
    ending_ = true;
  }
  wake_.notify_one();
  writer_.join();
  if (fd_ >= 0) close(fd_);
}

bool FileJournal::adopt(std::uint64_t bytes) {
  std::lock_guard<std::mutex> w(write_lock_);
  fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  struct stat st;
  if (fd_ >= 0 && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) < bytes)) {
    close(fd_);
    fd_ = -1;
  }
  on_disk_ = length_ = fd_ >= 0 ? bytes : 0;
  fresh_file_ = true;  // the file read back stays as it is, as the backup
  return fd_ >= 0;
}

void FileJournal::hand_over(Op op) {
  {
    std::lock_guard<std::mutex> l(lock_);
    merge_into(pending_, std::move(op));
    ++handed_;
  }
  wake_.notify_one();
}

void FileJournal::append(std::string bytes) {
  if (bytes.empty()) return;
  const std::uint64_t keep = length_;
  length_ += bytes.size();
  hand_over({keep, std::move(bytes), ""});
}

void FileJournal::replace_from(std::uint64_t keep, std::string bytes) {
  length_ = keep + bytes.size();
  hand_over({keep, std::move(bytes), ""});
}

void FileJournal::set_aside(std::string name) { hand_over({0, "", std::move(name)}); }

std::string FileJournal::failure() const {
  std::lock_guard<std::mutex> l(lock_);
  return failure_;
}

bool FileJournal::flush() {
  std::lock_guard<std::mutex> w(write_lock_);
  std::vector<Op> ops;
  {
    std::lock_guard<std::mutex> l(lock_);
    ops.swap(pending_);
  }
  return write(ops);
}

// What cannot be written stays pending, before anything handed over since,
// and the next write tries again.
bool FileJournal::write(std::vector<Op>& ops) {
  std::string why;
  std::size_t done = 0;
  while (done < ops.size() && apply(ops[done], why)) ++done;
  std::lock_guard<std::mutex> l(lock_);
  if (done < ops.size()) {
    std::vector<Op> again(std::make_move_iterator(ops.begin() + static_cast<std::ptrdiff_t>(done)),
                          std::make_move_iterator(ops.end()));
    for (Op& op : pending_) merge_into(again, std::move(op));
    pending_.swap(again);
  }
  failure_ = done < ops.size() ? path_ + ": cannot write: " + why : "";
  return done == ops.size();
}

bool FileJournal::apply(const Op& op, std::string& why) {
  if (!op.aside.empty()) {
    // A second name of the file as it is: later writes begin a new one, so
    // this one is never written again.
    if (fd_ >= 0 && still_here() && link(path_.c_str(), op.aside.c_str()) != 0) {
      why = op.aside + ": " + error_text(errno);
      return false;
    }
    fresh_file_ = true;
    return true;
  }
  if (!lock_held(why)) return false;
  if (!fresh_file_ && fd_ >= 0 && op.keep == on_disk_ && still_here()) return append_here(op.bytes, why);
  return rewrite(op.keep, op.bytes, why);
}

bool FileJournal::append_here(const std::string& bytes, std::string& why) {
  if (write_at(fd_, bytes, on_disk_) && (options_.sync ? options_.sync(fd_) : fdatasync(fd_)) == 0) {
    on_disk_ += bytes.size();
    return true;
  }
  why = error_text(errno);
  // Nothing half written stays behind: the whole addition is tried again.
  if (ftruncate(fd_, static_cast<off_t>(on_disk_)) != 0) fresh_file_ = true;
  return false;
}

bool FileJournal::rewrite(std::uint64_t keep, const std::string& bytes, std::string& why) {
  if (keep > 0 && (fd_ < 0 || keep > on_disk_)) {
    why = "what it held before is lost";
    return false;
  }
  // A folder removed while the game runs is made again.
  if (!make_folders(folder_of(path_), why)) return false;
  const int fd = replace_file_open(
      path_, [&](int to) { return (keep == 0 || copy_start(fd_, to, keep)) && write_at(to, bytes, keep); }, why,
      options_.backup, options_.sync);
  if (fd < 0) return false;
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  on_disk_ = keep + bytes.size();
  fresh_file_ = false;
  return true;
}

bool FileJournal::still_here() const {
  struct stat here, ours;
  return stat(path_.c_str(), &here) == 0 && fstat(fd_, &ours) == 0 && here.st_dev == ours.st_dev &&
         here.st_ino == ours.st_ino;
}

// A lock file that was removed (with its folder) is made and taken again;
// one that another process has made meanwhile is its own, even once it has
// let it go: its file is never written over.
bool FileJournal::lock_held(std::string& why) {
  return !options_.lock || options_.lock->held() || options_.lock->renew(why);
}

// What is pending is taken only with the write lock held, so that a flush on
// another thread, once it has that lock, sees everything not yet written.
void FileJournal::run() {
  for (;;) {
    {
      // A write that failed waits for the next hand-over to be tried again.
      std::unique_lock<std::mutex> l(lock_);
      wake_.wait(l, [&] { return handed_ != tried_ || ending_; });
      tried_ = handed_;
      if (pending_.empty() && ending_) return;
    }
    const std::lock_guard<std::mutex> w(write_lock_);
    std::vector<Op> ops;
    {
      const std::lock_guard<std::mutex> l(lock_);
      ops.swap(pending_);
    }
    write(ops);
    const std::lock_guard<std::mutex> l(lock_);
    if (ending_) return;  // what failed at the end is not tried forever
  }
}

}  // namespace base
