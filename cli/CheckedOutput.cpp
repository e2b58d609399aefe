#include "cli/CheckedOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/ExitStatus.h"

namespace o8r::cli {

namespace {

std::optional<OutputFailure> g_firstFailure;
bool g_stderrClosed = false;
bool g_stdoutClosed = false;

}  // namespace

void NoteOutputFailure(const std::string& output, int error) {
    if (!g_firstFailure) {
        g_firstFailure =
            OutputFailure{output, error != 0 ? std::strerror(error) : "the write failed"};
    }
}

std::optional<OutputFailure> FirstOutputFailure() {
    return g_firstFailure;
}

std::string OutputFailureText(const OutputFailure& failure) {
    return "can not write to " + failure.output + ": " + failure.reason;
}

CheckedBuffer::CheckedBuffer(std::streambuf* target, std::string name, bool closed)
    : m_target(target), m_name(std::move(name)), m_closed(closed) {}

CheckedBuffer::int_type CheckedBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    if (m_closed) {
        NoteOutputFailure(m_name, EBADF);
        return traits_type::eof();
    }
    errno = 0;
    if (traits_type::eq_int_type(m_target->sputc(traits_type::to_char_type(c)),
                                 traits_type::eof())) {
        NoteOutputFailure(m_name, errno);
        return traits_type::eof();
    }
    return c;
}

std::streamsize CheckedBuffer::xsputn(const char* text, std::streamsize count) {
    if (m_closed && count > 0) {
        NoteOutputFailure(m_name, EBADF);
        return 0;
    }
    errno = 0;
    const std::streamsize written = m_target->sputn(text, count);
    if (written < count)
        NoteOutputFailure(m_name, errno);
    return written;
}

int CheckedBuffer::sync() {
    errno = 0;
    if (m_target->pubsync() != 0) {
        NoteOutputFailure(m_name, errno);
        return -1;
    }
    return 0;
}

CheckedStandardStreams::CheckedStandardStreams(bool stdoutClosed, bool stderrClosed)
    : m_outTarget(std::cout.rdbuf()),
      m_errTarget(std::cerr.rdbuf()),
      m_out(m_outTarget, "standard output", stdoutClosed),
      m_err(m_errTarget, "standard error", stderrClosed) {
    g_stdoutClosed = stdoutClosed;
    g_stderrClosed = stderrClosed;
    std::cout.rdbuf(&m_out);
    std::cerr.rdbuf(&m_err);
}

CheckedStandardStreams::~CheckedStandardStreams() {
    std::cout.flush();
    std::cout.rdbuf(m_outTarget);
    std::cerr.rdbuf(m_errTarget);
}

int FinishOutput(int status) {
    std::cout.flush();
    std::cerr.flush();
    const auto failure = FirstOutputFailure();
    if (!failure)
        return status;
    // Straight to the C stream: the checked one may be the one that failed.
    std::cerr.clear();
    std::FILE* stream = g_stderrClosed && !g_stdoutClosed ? stdout : stderr;
    std::fprintf(stream, "o8rprog: %s\n", OutputFailureText(*failure).c_str());
    std::fflush(stream);
    return kExitFailure;
}

}  // namespace o8r::cli
