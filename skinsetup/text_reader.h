// Reads a file as the Windows C library's text mode does, on every system:
// a CR LF pair reads as LF, a lone CR stays, and the byte 0x1A ends the
// file. Both builds therefore see the same lines of the same map. It reads
// through the function it is given, and touches nothing else.

#ifndef SKINSETUP_SKINSETUP_TEXT_READER_H_
#define SKINSETUP_SKINSETUP_TEXT_READER_H_

#include <functional>
#include <utility>

namespace skinsetup {

class TextReader {
 public:
  // `read` fills a buffer with up to `size` raw bytes and returns the count,
  // 0 at the end of the file or -1 on a read error.
  using ReadFn = std::function<long(char* buffer, long size)>;

  explicit TextReader(ReadFn read) : read_(std::move(read)) {}

  // As fgets: reads up to size - 1 characters into `line`, stopping after a
  // line feed, and adds a terminating zero. Returns false, leaving `line`
  // alone, when nothing could be read (the end of the file, an error, or a
  // size with no room for a character).
  bool GetLine(char* line, int size);
  // As feof: true once a read has met the end of the file.
  bool AtEnd() const { return at_end_; }
  // As ferror: true once a read has failed.
  bool Failed() const { return failed_; }

 private:
  static constexpr int kEnd = -1;

  int RawByte();
  int Byte();

  ReadFn read_;
  char buffer_[4096] = {};
  long length_ = 0;
  long next_ = 0;
  int pushed_back_ = kEnd;
  bool at_end_ = false;
  bool failed_ = false;
};

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_TEXT_READER_H_
