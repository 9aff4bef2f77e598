// The text mode's reading of a file (text_reader.h), as the Windows C
// library does it. Reads through the function it is given, and touches
// nothing else.

#include "skinsetup/text_reader.h"

namespace skinsetup {
namespace {

constexpr int kEndOfFileMark = 0x1A;

}  // namespace

int TextReader::RawByte() {
  if (pushed_back_ != kEnd) {
    const int byte = pushed_back_;
    pushed_back_ = kEnd;
    return byte;
  }
  if (at_end_ || failed_) return kEnd;
  if (next_ == length_) {
    const long count = read_(buffer_, sizeof buffer_);
    if (count < 0) {
      failed_ = true;
      return kEnd;
    }
    if (count == 0) {
      at_end_ = true;
      return kEnd;
    }
    length_ = count;
    next_ = 0;
  }
  return static_cast<unsigned char>(buffer_[next_++]);
}

int TextReader::Byte() {
  const int byte = RawByte();
  if (byte == kEndOfFileMark) {
    // Nothing after the mark is ever read.
    at_end_ = true;
    return kEnd;
  }
  if (byte != '\r') return byte;
  const int following = RawByte();
  if (following == '\n') return '\n';
  if (following != kEnd) pushed_back_ = following;
  return '\r';
}

bool TextReader::GetLine(char* line, int size) {
  int count = 0;
  while (count < size - 1) {
    const int byte = Byte();
    if (byte == kEnd) break;
    line[count++] = static_cast<char>(byte);
    if (byte == '\n') break;
  }
  if (count == 0) return false;
  line[count] = '\0';
  return true;
}

}  // namespace skinsetup
