#include "stdoutcapture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    char name[] = "/tmp/tolvanis-stdout.XXXXXX";
    m_file = mkstemp(name);
    unlink(name);
    m_saved = dup(STDOUT_FILENO);
    dup2(m_file, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    text();
    close(m_file);
    close(m_saved);
}

QByteArray StdoutCapture::text()
{
    std::fflush(stdout);
    if (!m_restored) {
        dup2(m_saved, STDOUT_FILENO);
        m_restored = true;
    }
    QByteArray captured;
    lseek(m_file, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(m_file, buffer, sizeof buffer)) > 0)
        captured.append(buffer, n);
    return captured;
}
