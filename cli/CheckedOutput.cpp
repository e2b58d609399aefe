#include "cli/CheckedOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/ExitStatus.h"

namespace o8r::cli {

namespace {

std::optional<OutputFailure> g_firstFailure;

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

CheckedBuffer::CheckedBuffer(std::streambuf* target, std::string name)
    : m_target(target), m_name(std::move(name)) {}

CheckedBuffer::int_type CheckedBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    errno = 0;
    if (traits_type::eq_int_type(m_target->sputc(traits_type::to_char_type(c)),
                                 traits_type::eof())) {
        NoteOutputFailure(m_name, errno);
        return traits_type::eof();
    }
    return c;
}

std::streamsize CheckedBuffer::xsputn(const char* text, std::streamsize count) {
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

CheckedStandardStreams::CheckedStandardStreams()
    : m_outTarget(std::cout.rdbuf()),
      m_errTarget(std::cerr.rdbuf()),
      m_out(m_outTarget, "standard output"),
      m_err(m_errTarget, "standard error") {
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
    std::fprintf(stderr, "o8rprog: can not write to %s: %s\n", failure->output.c_str(),
                 failure->reason.c_str());
    std::fflush(stderr);
    return kExitFailure;
}

}  // namespace o8r::cli
