#pragma once

// Lines of a text stream, read in large blocks into one reused buffer, so that
// a file of any size costs one buffer and no allocation per line.

#include <cstddef>
#include <iosfwd>
#include <string_view>
#include <vector>

namespace o8r {

class LineReader {
  public:
    enum class Status {
        Line,       // `line` holds the next line, without LF, CR and trailing blanks
        TooLong,    // the line exceeds the buffer; `line` holds its beginning
        End,        // no more lines
        ReadError,  // the stream failed while reading
    };

    explicit LineReader(std::istream& in, std::size_t bufferSize = 64 * 1024);

    // The view stays valid until the next call.
    Status Next(std::string_view& line);

  private:
    bool Refill();

    std::istream& m_in;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0;  // first unread byte
    std::size_t m_end = 0;    // one past the last byte read
    bool m_eof = false;
    bool m_failed = false;
};

}  // namespace o8r
