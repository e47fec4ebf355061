#include "text/records.hpp"

#include <new>
#include <string>

#include <cstring>
#include <limits>

namespace gyro {

RecordCursor::RecordCursor(TextSource& source, std::size_t block_size) {
  if (source.in_memory()) {
    text_ = source.text();
    pos_ = text_.data();
    end_ = pos_ + text_.size();
    look_at_first_line(pos_, end_);
    return;
  }
  source_ = &source;
  cap_ = block_size < 2 * reclen ? 2 * reclen : block_size;
  block_ = std::make_unique_for_overwrite<char[]>(cap_);
  pos_ = end_ = block_.get();
}

void RecordCursor::learn_irregular() {
  if (irregular_.size() < max_irregular) {
    irregular_.push_back(lineno_);
  } else {  // too many to keep: the second reading looks at every line
    learning_ = false;
    std::vector<long>().swap(irregular_);
  }
}

bool RecordCursor::rewind() {
  trusted_ = learning_;
  learning_ = false;
  irregular_passed_ = 0;
  upcoming_irregular_ = irregular_.empty() ? -1 : irregular_[0];
  lineno_ = 0;
  crlf_line_ = -1;
  unended_line_ = -1;
  if (!block_) {
    pos_ = text_.data();
    end_ = pos_ + text_.size();
    return true;
  }
  pos_ = end_ = block_.get();
  at_end_ = false;
  if (!source_->rewind()) {
    failed_ = true;
    return false;
  }
  return true;
}

// Moves the unread bytes to the front of the block and reads more after them;
// false at the end of the text or when reading failed.
bool RecordCursor::refill() {
  if (!source_ || at_end_) return false;
  const std::size_t have = unread();
  if (have > 0) std::memmove(block_.get(), pos_, have);
  pos_ = block_.get();
  end_ = pos_ + have;
  const long got = source_->read(block_.get() + have, cap_ - have);
  if (got <= 0) {
    failed_ = got < 0;
    at_end_ = true;
    first_line_.complete = true;
    return false;
  }
  look_at_first_line(end_, end_ + got);
  end_ += got;
  return true;
}

std::string_view RecordCursor::head(std::size_t want) {
  while (block_ && unread() < want && unread() < cap_ && !at_end_)
    if (!refill()) break;
  return {pos_, unread()};
}

void RecordCursor::look_at_first_line(const char* from, const char* to) {
  if (first_line_.complete) return;
  const char* lf = static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(to - from)));
  const char* end = lf ? lf : to;
  for (const char* p = from; p < end; ++p) first_line_.carriage_returns += *p == '\r';
  first_line_.length += static_cast<std::size_t>(end - from);
  // A carriage return just before the line feed belongs to the line end (it
  // may stand at the end of the bytes looked at before).
  if (lf && (lf > from ? lf[-1] == '\r' : first_line_.ends_with_cr)) {
    --first_line_.carriage_returns;
    --first_line_.length;
  }
  if (end > from) first_line_.ends_with_cr = end[-1] == '\r';
  first_line_.complete = lf != nullptr || !source_;  // a text in memory is all there
}

// A line not wholly in the block: more is read until its line feed or the end
// of the file comes. Of a line longer than the block only the first 80 bytes
// are kept, so that no line, however long, takes more memory.
const char* RecordCursor::last_line() {
  bool overlong = false;
  for (;;) {
    if (const void* lf = unread() == 0 ? nullptr : std::memchr(pos_, '\n', unread())) {
      auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - pos_);
      if (overlong) return take_kept_line(end + 1);
      const std::size_t skip = end + 1;
      if (end > 0 && pos_[end - 1] == '\r') {
        --end;
        crlf_line_ = lineno_ + 1;  // the line being taken
      }
      return take_line(end, skip);
    }
    if (block_ && !overlong && unread() == cap_) {
      if (whole_lines_) {
        if (!grow_block()) {
          failed_ = true;
          too_long_ = "line " + std::to_string(lineno_ + 1) + " is too long to hold in memory";
          return nullptr;
        }
        continue;
      }
      std::memcpy(line_, pos_, reclen);
      overlong = true;
    }
    if (overlong) pos_ = end_ = block_.get();
    if (!refill()) break;
  }
  if (failed_) return nullptr;
  if (overlong) {
    unended_line_ = lineno_ + 1;
    return take_kept_line(0);
  }
  if (unread() == 0) return nullptr;
  unended_line_ = lineno_ + 1;  // the text ends without a line feed
  return take_line(unread(), unread());
}

// A block twice as large, holding the unread bytes; false when memory
// cannot be had.
bool RecordCursor::grow_block() {
  const std::size_t have = unread();
  std::unique_ptr<char[]> larger(new (std::nothrow) char[2 * cap_]);
  if (!larger) return false;
  std::memcpy(larger.get(), pos_, have);
  block_ = std::move(larger);
  cap_ *= 2;
  pos_ = block_.get();
  end_ = pos_ + have;
  return true;
}

// The overlong line whose first 80 bytes are kept, ending `skip` bytes on.
const char* RecordCursor::take_kept_line(std::size_t skip) {
  pos_ += skip;
  ++lineno_;
  length_ = reclen;  // at least
  return line_;
}

}  // namespace gyro
