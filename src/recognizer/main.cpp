// tolvanis-recognizer: reads Chinese and English text in the images
// TextRecognizer sends on standard input and answers on standard output, one
// reply per request, until its input closes. A separate process so that the
// tray program neither loads Tesseract at start-up nor keeps its memory once
// idle, and so that an image that hangs or crashes Tesseract costs only this
// process.
#include "engines/recognizerprotocol.h"

#include <tesseract/baseapi.h>

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <sys/resource.h>

namespace {

using Status = RecognizerProtocol::Status;

// Small screen text is read far better enlarged. On paragraphs of 12–16 px
// text at scale 1 and 2, twice the size read 99.9 % of the characters right
// (98.9 % on the worst one), three times 99.6 % (96.8 %), four times 93 %: the
// text of a HiDPI screen grows too large for Tesseract's models. Beyond the
// pixel budget the enlargement costs more time than it gains.
constexpr double enlargement = 2.0;
constexpr double enlargedPixelBudget = 16'000'000;
// A hostile image must not take the whole machine's memory with it.
constexpr rlim_t addressSpaceLimit = rlim_t(4) * 1024 * 1024 * 1024;

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

// Grey, dark text on a light background, enlarged: what Tesseract's models
// were trained on.
QImage prepared(QImage grey)
{
    qint64 sum = 0;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            sum += row[x];
    }
    if (sum < qint64(grey.width()) * grey.height() * 128)
        grey.invertPixels();
    const double pixels = double(grey.width()) * grey.height();
    const double factor = std::min(enlargement, std::sqrt(enlargedPixelBudget / pixels));
    if (factor <= 1.0)
        return grey;
    return grey.scaled(int(grey.width() * factor), int(grey.height() * factor), Qt::IgnoreAspectRatio,
                       Qt::SmoothTransformation);
}

class Reader final
{
public:
    // Missing data is told apart from other failures: the user can fix it.
    Status load()
    {
        // nullptr: Tesseract's own search, TESSDATA_PREFIX first.
        if (m_api.Init(nullptr, "chi_sim+eng", tesseract::OEM_LSTM_ONLY) != 0)
            return Status::MissingData;
        std::vector<std::string> loaded;
        m_api.GetLoadedLanguagesAsVector(&loaded);
        // Tesseract carries on with the languages it found when one is missing.
        for (const char *language : {"chi_sim", "eng"})
            if (std::find(loaded.begin(), loaded.end(), language) == loaded.end())
                return Status::MissingData;
        // Tesseract's progress notes ("Detected 36 diacritics") would fill the
        // program's log with every recognition.
        m_api.SetVariable("debug_file", "/dev/null");
        m_api.SetPageSegMode(tesseract::PSM_AUTO);
        // Keeps Chinese from being spaced out character by character.
        m_api.SetVariable("preserve_interword_spaces", "1");
        return Status::Text;
    }

    RecognizerProtocol::Reply read(const QImage &grey)
    {
        const QImage image = prepared(grey);
        m_api.SetImage(image.constBits(), image.width(), image.height(), 1, int(image.bytesPerLine()));
        // Screen pixels have no resolution; this stops a warning and is what
        // Tesseract assumes for text of this size.
        m_api.SetSourceResolution(300);
        const std::unique_ptr<char[]> text(m_api.GetUTF8Text());
        m_api.Clear();
        if (!text)
            return {Status::Failed, {}};
        const QString result = QString::fromUtf8(text.get()).trimmed();
        return {result.isEmpty() ? Status::NoText : Status::Text, result};
    }

private:
    tesseract::TessBaseAPI m_api;
};

} // namespace

int main()
{
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space and cannot run under a limit.
    const rlimit limit{addressSpaceLimit, addressSpaceLimit};
    setrlimit(RLIMIT_AS, &limit);
#endif
    // Replies get their own descriptor; whatever Tesseract prints goes to
    // standard error and cannot break a frame.
    const int replies = ::dup(STDOUT_FILENO);
    if (replies < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;

    Reader reader;
    bool loaded = false;
    RecognizerProtocol requests(RecognizerProtocol::maximumRequestLength);
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        if (!requests.feed(QByteArrayView(buffer.data(), n))) {
            writeAll(replies, RecognizerProtocol::encodeReply({Status::Failed, {}}));
            return 1;
        }
        for (const QByteArray &payload : requests.takeMessages()) {
            const std::optional<QImage> image = RecognizerProtocol::decodeRequest(payload);
            RecognizerProtocol::Reply reply{Status::Failed, {}};
            if (!loaded) {
                const Status status = reader.load();
                loaded = status == Status::Text;
                if (!loaded) {
                    writeAll(replies, RecognizerProtocol::encodeReply({status, {}}));
                    return 1;
                }
            }
            if (image)
                reply = reader.read(*image);
            if (!writeAll(replies, RecognizerProtocol::encodeReply(reply)))
                return 1;
        }
    }
}
