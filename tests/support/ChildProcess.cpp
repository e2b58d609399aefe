#ifndef _WIN32
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/TestData.h"

namespace o8r::test {

Child::Child(ChildSpec spec) {
    const std::string outFile = m_capture.File("out");
    const std::string errFile = m_capture.File("err");
    m_pid = fork();
    if (m_pid != 0)
        return;
    // In the child: only calls that are safe after fork, then exec.
    const int in = open("/dev/null", O_RDONLY);
    const int out = spec.stdoutPath.empty()
                        ? open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644)
                        : open(spec.stdoutPath.c_str(), O_WRONLY);
    const int err =
        spec.errIntoOut ? out : open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(spec.dir.c_str()) != 0)
        _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (spec.stdoutBrokenPipe) {
        int ends[2];
        if (pipe(ends) != 0)
            _exit(127);
        close(ends[0]);
        dup2(ends[1], 1);
        close(ends[1]);
    }
    for (int fd : spec.closeFds)
        close(fd);
    if (spec.fileSizeLimit > 0) {
        const rlimit limit{static_cast<rlim_t>(spec.fileSizeLimit),
                           static_cast<rlim_t>(spec.fileSizeLimit)};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (spec.alarmSeconds > 0)
        alarm(spec.alarmSeconds);
    for (std::string& variable : spec.env)
        putenv(variable.data());
    if (spec.offscreen)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::vector<char*> args;
    for (std::string& arg : spec.argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

Child::~Child() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

ChildRun Child::Finish() {
    ChildRun run;
    int status = 0;
    if (m_pid > 0 && waitpid(m_pid, &status, 0) == m_pid) {
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    m_pid = -1;
    run.out = ReadWholeFile(m_capture.File("out"));
    run.err = ReadWholeFile(m_capture.File("err"));
    return run;
}

ChildRun RunChild(ChildSpec spec) {
    return Child(std::move(spec)).Finish();
}

std::vector<std::string> O8rprogArgs(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {BinPath("o8rprog")};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

std::vector<std::string> Joined(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void RunCliRows(const std::vector<CliRow>& rows) {
    for (const CliRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        std::filesystem::copy_file(SourcePath("data/sample.mot"), dir.Path() / "sample.mot");
        if (row.prepare)
            row.prepare(dir);
        ChildSpec spec{O8rprogArgs(row.args), dir.Path()};
        spec.alarmSeconds = 120;
        if (row.spec)
            row.spec(dir, spec);
        const ChildRun run = RunChild(spec);
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.out << run.err;
        for (const std::string& part : row.said)
            EXPECT_TRUE(Has(run.out + run.err, part)) << part << "\nnot in:\n"
                                                      << run.out << run.err;
        if (row.after)
            row.after(dir, run);
    }
}

}  // namespace o8r::test
#endif  // !_WIN32
