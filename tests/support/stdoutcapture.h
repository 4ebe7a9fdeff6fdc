#pragma once

#include <QByteArray>

// Captures what the process writes to its standard output (fd 1) between
// construction and text(), for code whose only report is a printed line.
class StdoutCapture final
{
public:
    StdoutCapture();
    ~StdoutCapture();
    Q_DISABLE_COPY_MOVE(StdoutCapture)

    QByteArray text();

private:
    int m_saved = -1;
    int m_file = -1;
    bool m_restored = false;
};
