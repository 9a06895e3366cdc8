#pragma once

#include <QString>

namespace verlook {

// The component's fetcher, in place of a browser control on a hidden window:
// it loads WebAddress + "/" + FileName (http or https, see HttpGet) without
// ever showing anything and hands back the loaded document's text. It uses
// the caller's Qt application and waits on the caller's thread, letting the
// caller's events run.
class fBrowser
{
public:
    fBrowser();
    ~fBrowser();

    fBrowser(const fBrowser &) = delete;
    fBrowser &operator=(const fBrowser &) = delete;

    // Base address; the fetch puts exactly one "/" between it and FileName.
    QString WebAddress;
    QString FileName;

    // True with sVersion set to the text of the loaded document's body; false,
    // sVersion unchanged, when the load fails or is still going at the 15th
    // wall-clock second boundary after the start (14 to 15 s of real time).
    // An HTTP error page is a loaded document; a transfer that did not
    // complete (cut short after the headers, a broken chunk) is a failed
    // load, whatever it delivered before it broke. A body longer than
    // kMaxBodyBytes is a failed load, known from its Content-Length or chunk
    // size or as soon as the bytes past the limit arrive.
    bool Navigate(QString &sVersion);

    static constexpr int kTimeoutSeconds = 15;
    // A longer reply is a failed load, whether its length is announced or not.
    static constexpr qint64 kMaxBodyBytes = 64 * 1024;

private:
    bool fetch(QString &sVersion);
};

} // namespace verlook
