#include "core/image/LineReader.h"

#include <cstring>
#include <istream>

namespace o8r {

namespace {

std::string_view TrimLineEnd(const char* data, std::size_t size) {
    while (size > 0) {
        const char c = data[size - 1];
        if (c != '\r' && c != ' ' && c != '\t')
            break;
        --size;
    }
    return {data, size};
}

}  // namespace

LineReader::LineReader(std::istream& in, std::size_t bufferSize)
    : m_in(in), m_buffer(bufferSize < 16 ? 16 : bufferSize) {}

bool LineReader::Refill() {
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    const std::size_t room = m_buffer.size() - m_end;
    m_in.read(m_buffer.data() + m_end, static_cast<std::streamsize>(room));
    const auto got = static_cast<std::size_t>(m_in.gcount());
    m_end += got;
    if (m_in.bad()) {
        m_failed = true;
        return false;
    }
    if (got < room)
        m_eof = true;
    return true;
}

LineReader::Status LineReader::Next(std::string_view& line) {
    if (m_failed)
        return Status::ReadError;
    std::size_t searched = m_begin;
    for (;;) {
        const char* base = m_buffer.data();
        const void* newline = std::memchr(base + searched, '\n', m_end - searched);
        if (newline != nullptr) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(newline) - base);
            line = TrimLineEnd(base + m_begin, at - m_begin);
            m_begin = at + 1;
            return Status::Line;
        }
        if (m_eof) {
            if (m_begin == m_end)
                return Status::End;
            line = TrimLineEnd(base + m_begin, m_end - m_begin);
            m_begin = m_end;
            return Status::Line;
        }
        if (m_begin == 0 && m_end == m_buffer.size()) {
            line = std::string_view(base, m_end);
            m_begin = m_end;
            return Status::TooLong;
        }
        searched = m_end - m_begin;  // offsets shift to the front on refill
        if (!Refill())
            return Status::ReadError;
    }
}

}  // namespace o8r
