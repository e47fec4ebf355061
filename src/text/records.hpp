// Input text as a sequence of 80-byte records, read from memory or streamed
// from the input's text source in large blocks.
#pragma once

#include <cstring>
#include <memory>
#include <string_view>
#include <vector>
#include <bit>
#include <cstdint>

#include "text/fields.hpp"
#include "text/source.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace gyro {

// Whether the 80 bytes at p hold no line feed.
inline bool no_line_feed_in_record(const char* p) {
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  auto feeds = [&](int at) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)), lf);
  };
  const __m128i any = _mm_or_si128(_mm_or_si128(_mm_or_si128(feeds(0), feeds(16)),
                                                _mm_or_si128(feeds(32), feeds(48))),
                                   feeds(64));
  return _mm_movemask_epi8(any) == 0;
#else
  return std::memchr(p, '\n', reclen) == nullptr;
#endif
}

#if defined(__x86_64__)
// no_line_feed_in_record with 256-bit vectors, for processors that have them.
[[gnu::target("avx2")]] inline bool no_line_feed_in_record_wide(const char* p) {
  const __m256i lf = repeat(line_feeds);
  const __m256i* v = reinterpret_cast<const __m256i*>(p);
  // Bytes 0-31, 32-63 and 48-79.
  const __m256i feeds = _mm256_or_si256(
      _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(v), lf),
                      _mm256_cmpeq_epi8(_mm256_loadu_si256(v + 1), lf)),
      _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 48)), lf));
  return _mm256_movemask_epi8(feeds) == 0;
}

// With 256-bit vectors: which of the 32 bytes at p are line feeds (a bit each).
[[gnu::target("avx2"), gnu::always_inline]] inline std::uint32_t line_feed_bits_wide(
    const char* p) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), repeat(line_feeds))));
}

// With 256-bit vectors: whether the `length` bytes at p hold no line feed and
// the byte after them is one (bytes 0 to the larger of `length` and 31
// readable).
[[gnu::target("avx2"), gnu::always_inline]] inline bool line_of_length_wide(const char* p,
                                                                            std::size_t length) {
  if (length < 32) {
    const std::uint32_t upto = length == 31 ? ~0u : (2u << length) - 1;
    return (line_feed_bits_wide(p) & upto) == 1u << length;
  }
  std::uint32_t inside = 0;
  for (std::size_t at = 0; at + 32 <= length; at += 32) inside |= line_feed_bits_wide(p + at);
  return inside == 0 && line_feed_bits_wide(p + length - 31) == 0x80000000u;
}

// With 256-bit vectors, for processors that have them: the offset of the first
// line feed among the 81 bytes at p (all readable), or -1.
[[gnu::target("avx2")]] inline int first_line_feed_wide(const char* p) {
  const __m256i lf = repeat(line_feeds);
  const __m256i* v = reinterpret_cast<const __m256i*>(p);
  const auto first = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(v), lf)));
  const auto second = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(v + 1), lf)));
  const std::uint64_t low = first | std::uint64_t{second} << 32;  // bytes 0-63
  if (low != 0) return std::countr_zero(low);
  const auto last = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 49)), lf)));
  const std::uint32_t high = last >> 15;  // bytes 64-80
  return high != 0 ? 64 + std::countr_zero(high) : -1;
}

// The `length` bytes at line (80 readable) and blanks after them, into out.
[[gnu::target("avx2")]] inline void blank_filled_wide(char* out, const char* line, std::size_t length) {
  const __m256i limit = _mm256_set1_epi8(static_cast<char>(length));
  const __m256i blank = repeat(blanks);
  for (int at : {0, 32, 48}) {
    const __m256i index = _mm256_add_epi8(
        _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31),
        _mm256_set1_epi8(static_cast<char>(at)));
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + at));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at),
                        _mm256_blendv_epi8(blank, v, _mm256_cmpgt_epi8(limit, index)));
  }
}
#endif

// Walks the lines of a text. A line ends at a line feed; a carriage return just
// before it belongs to the line end. A last line without a line feed is still a
// line; an empty text has none.
class RecordCursor {
 public:
  explicit RecordCursor(std::string_view text)
      : text_(text), pos_(text.data()), end_(text.data() + text.size()) {
    look_at_first_line(pos_, end_);
  }
  // Streams the source in blocks of 128 KiB, a size that stays in the cache
  // while its lines are read (any size from 160 bytes on works alike). A
  // source that holds its whole text in memory is read from there.
  explicit RecordCursor(TextSource& source, std::size_t block_size = std::size_t{1} << 17);

  // The next line as exactly 80 bytes (cut after the 80th, blank-filled), valid
  // until the next call; null at the end of the text or when reading failed.
  // `Wide`: the caller runs on a processor with 256-bit vectors. `Trusted`:
  // the caller has seen trusted() and reads the text a second time.
  // `Columns`: the caller looks at no column after this one, so a line that
  // long or longer need not be blank-filled.
  template <bool Wide = false, bool Trusted = false, int Columns = reclen>
  const char* next() {
    const char* line = pos_;
    if constexpr (Trusted) {
      // The second reading of a text whose layout the first learnt: a line
      // that was a usual record then is one now, unless the text changed,
      // which its checksum will tell (and a line feed must still end it).
      if (lineno_ + 1 != upcoming_irregular_) {
        if (end_ - line > reclen && line[reclen] == '\n') {
          pos_ = line + reclen + 1;
          ++lineno_;
          return line;  // (length() is not kept in a second reading)
        }
      } else {
        pass_irregular();
        return irregular_line<Wide, Columns>();
      }
    }
#if defined(__x86_64__)
    if constexpr (Wide) {
      // The usual record of 80 bytes is taken where it stands.
      if (end_ - line > reclen && line[reclen] == '\n' && line[reclen - 1] != '\r' &&
          no_line_feed_in_record_wide(line)) {
        pos_ = line + reclen + 1;
        ++lineno_;
        length_ = reclen;
        return line;
      }
    }
#endif
    if (!Wide && end_ - line > reclen && line[reclen] == '\n' && line[reclen - 1] != '\r' &&
        no_line_feed_in_record(line)) {
      pos_ = line + reclen + 1;
      ++lineno_;
      length_ = reclen;
      return line;
    }
    const char* other = irregular_line<Wide, Columns>();
    if (learning_ && other != nullptr) learn_irregular();
    return other;
  }
  long lineno() const { return lineno_; }        // 1-based number of the last line read
  std::size_t length() const { return length_; }  // of the last line, before blank-filling
  bool failed() const { return failed_; }         // reading failed
  // Why reading failed, in words.
  std::string failure() const {
    if (!too_long_.empty()) return too_long_;
    return source_ ? source_->failure() : std::string();
  }
  // From now on a line longer than the block is read whole (the block grows
  // to hold it), not cut after its 80th byte: for text whose long lines
  // matter (mmCIF). A line that memory cannot hold fails the reading.
  void keep_whole_lines() { whole_lines_ = true; }
  // What the source has read since its start or last rewind.
  Checksum checksum() const { return source_ ? source_->checksum() : Checksum{}; }

  // Back to the first line: the text again, or the source read again from its
  // start. False when the source cannot be rewound.
  bool rewind();
  // From now on, until the rewind, which lines are not usual 80-byte records
  // is noted, so that the second reading need not look for their line feeds.
  void learn_layout() { learning_ = true; }
  // Whether this (second) reading may trust the layout learnt in the first.
  bool trusted() const { return trusted_; }

  // The unread text ahead, at least `want` bytes of it where the text has
  // them and the block holds them (reading more of a pipe as needed), without
  // reading any line away.
  std::string_view head(std::size_t want);
  // The whole of the line `line` that next() returned (it is cut at 80 bytes
  // there): all its bytes, or the first 80 of a line longer than the block.
  std::string_view whole_line(const char* line) const { return {line, length_}; }
  // Whether the last line read ended with a carriage return before its line
  // feed (a usual 80-byte record never does).
  bool ended_by_crlf() const { return crlf_line_ == lineno_; }
  // The bytes that ended the last line read: a line feed, CR LF, or none
  // (the last line of a text without a final line feed).
  std::string_view line_end() const {
    return crlf_line_ == lineno_ ? "\r\n" : unended_line_ == lineno_ ? "" : "\n";
  }

  // The unread bytes that the cursor holds now (what is left of its block),
  // for a reader that finds line ends itself: it takes a line there and says
  // so with pass_line.
  std::string_view ahead() const { return {pos_, unread()}; }
  // Passes the `lines` lines that fill the first `bytes` bytes of ahead(),
  // each ended by a line feed.
  void pass_lines(std::size_t bytes, long lines) {
    pos_ += bytes;
    lineno_ += lines;
  }

  // The first line as read so far (whole once its line feed or the end was
  // read): its length and the carriage returns in it, the one before its line
  // feed aside. Lines ended by carriage returns alone read as one.
  struct FirstLine {
    std::size_t length = 0;  // without the line end (LF, or CR LF)
    std::int64_t carriage_returns = 0;
    bool complete = false;
    bool ends_with_cr = false;  // the last byte looked at (the line end's CR may follow a block)
  };
  const FirstLine& first_line() const { return first_line_; }

 private:
  // Any line but a usual record where it stands: a short line (found and
  // blank-filled in vector registers where 256-bit vectors may be used), a
  // long one, one ended by CRLF, one at the end of the block or of the text.
  template <bool Wide, int Columns>
  const char* irregular_line() {
    const char* line = pos_;
#if defined(__x86_64__)
    if constexpr (Wide) {
      if (end_ - line > reclen) {
        const int at = first_line_feed_wide(line);
        if (at >= 0 && at < reclen && !(at > 0 && line[at - 1] == '\r')) {
          pos_ = line + at + 1;
          ++lineno_;
          length_ = static_cast<std::size_t>(at);
          if (at >= Columns) return line;
          blank_filled_wide(line_, line, length_);
          return line_;
        }
      }
    }
#endif
    const void* lf = line == end_ ? nullptr : std::memchr(line, '\n', unread());
    if (lf == nullptr) return last_line();
    auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - line);
    const std::size_t skip = end + 1;
    if (end > 0 && line[end - 1] == '\r') {
      --end;
      crlf_line_ = lineno_ + 1;  // the line being taken
    }
    if constexpr (Columns < reclen) {
      if (end >= static_cast<std::size_t>(Columns)) {  // long enough: taken where it stands
        length_ = end;
        pos_ += skip;
        ++lineno_;
        return line;
      }
    }
    return take_line(end, skip);
  }
  [[gnu::noinline]] void learn_irregular();
  void look_at_first_line(const char* from, const char* to);
  void pass_irregular() {
    ++irregular_passed_;
    upcoming_irregular_ = irregular_passed_ < irregular_.size() ? irregular_[irregular_passed_]
                                                                : -1;  // no more
  }
  [[gnu::noinline]] bool refill();
  bool grow_block();
  [[gnu::noinline]] const char* last_line();
  const char* take_kept_line(std::size_t skip);
  // The line of `end` bytes at the front, then `skip` bytes passed over.
  const char* take_line(std::size_t end, std::size_t skip) {
    const char* line = pos_;
    length_ = end;
    if (end < reclen) {  // short line: blank-filled copy
      std::memcpy(line_, line, end);
      std::memset(line_ + end, ' ', reclen - end);
      line = line_;
    }
    pos_ += skip;
    ++lineno_;
    return line;
  }
  std::size_t unread() const { return static_cast<std::size_t>(end_ - pos_); }

  std::string_view text_;
  const char* pos_ = nullptr;  // the unread bytes: pos_ up to end_
  const char* end_ = nullptr;
  bool at_end_ = false, failed_ = false;
  bool whole_lines_ = false;
  std::string too_long_;  // why reading failed, when a line could not be held
  TextSource* source_ = nullptr;
  std::unique_ptr<char[]> block_;
  std::size_t cap_ = 0;
  char line_[reclen];
  long lineno_ = 0;
  std::size_t length_ = 0;
  // The layout learnt in the first reading: the numbers of its lines that were
  // not usual records, at most max_irregular of them (more: nothing is
  // trusted, and the second reading looks at every line).
  static constexpr std::size_t max_irregular = 4096;
  std::vector<long> irregular_;
  bool learning_ = false, trusted_ = false;
  FirstLine first_line_;
  long crlf_line_ = -1;  // the last line that ended with CR LF
  long unended_line_ = -1;  // the last line, when no line feed ends it
  std::size_t irregular_passed_ = 0;
  long upcoming_irregular_ = 0;  // the next irregular line of the second reading
};

}  // namespace gyro
