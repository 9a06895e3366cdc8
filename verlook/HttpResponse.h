#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace verlook {

// Reads one HTTP/1.x response to a GET as its bytes come off the connection
// and says when it is complete: a body with a Content-Length when that many
// bytes came, a chunked body when its last chunk and the blank line after
// the trailers came, any other body when the connection ended. Whatever
// breaks off before that, or does not follow the framing, is Broken: never a
// complete document. Interim 1xx responses are skipped; 204 and 304 have no
// body.
class HttpResponseParser
{
public:
    enum class State { Head, Body, Complete, Broken, TooLong };

    // A body longer than maxBody is TooLong, known from its Content-Length
    // or chunk size before the bytes come, or else as they come.
    explicit HttpResponseParser(qint64 maxBody);

    void feed(QByteArrayView bytes);
    // The peer closed the connection: the end of a body that runs to it,
    // anything else cut short.
    void endOfStream();

    State state() const { return m_state; }
    bool finished() const { return m_state != State::Head && m_state != State::Body; }
    // Once the head has been read (state Body or Complete).
    int status() const { return m_status; }
    // The first field of that name (any case), trimmed; null when none.
    QByteArray header(QByteArrayView name) const;
    const QByteArray &body() const { return m_body; }

    // No head, field line or chunk-size line is anywhere near this long.
    static constexpr qsizetype kMaxHeadBytes = 64 * 1024;

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class ChunkStep { Size, Data, DataEnd, Trailers };

    void parse();
    bool parseHead(QByteArrayView head);
    void startBody();
    void readChunked();
    void appendBody(QByteArrayView bytes);
    void fail(State state = State::Broken);
    // One line (without its CR LF or LF) from the front of the pending bytes;
    // false while it has not all come.
    bool takeLine(QByteArray &line);
    void consume(qsizetype bytes);

    const qint64 m_maxBody;
    State m_state = State::Head;
    QByteArray m_pending; // bytes not parsed yet
    qsizetype m_scanned = 0; // of them, searched for a line end in vain
    int m_status = 0;
    QList<std::pair<QByteArray, QByteArray>> m_headers;
    QByteArray m_body;
    Framing m_framing = Framing::UntilClose;
    qint64 m_remaining = 0; // of the body (Length) or of the current chunk
    ChunkStep m_chunkStep = ChunkStep::Size;
    qsizetype m_trailerBytes = 0;
};

} // namespace verlook
