#include "HttpResponse.h"

#include <algorithm>
#include <cctype>

namespace verlook {

namespace {

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

HttpResponseParser::HttpResponseParser(qint64 maxBody)
    : m_maxBody(maxBody)
{ }

QByteArray HttpResponseParser::header(QByteArrayView name) const
{
    for (const auto &[field, value] : m_headers) {
        if (field.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QByteArray();
}

void HttpResponseParser::feed(QByteArrayView bytes)
{
    if (finished())
        return;
    m_pending += bytes;
    parse();
}

void HttpResponseParser::endOfStream()
{
    if (m_state == State::Body && m_framing == Framing::UntilClose)
        m_state = State::Complete;
    else if (!finished())
        fail();
}

void HttpResponseParser::fail(State state)
{
    m_state = state;
    consume(m_pending.size());
}

void HttpResponseParser::consume(qsizetype bytes)
{
    m_pending.remove(0, bytes);
    m_scanned = 0;
}

bool HttpResponseParser::takeLine(QByteArray &line)
{
    const qsizetype end = m_pending.indexOf('\n', m_scanned);
    if (end < 0) {
        m_scanned = m_pending.size();
        if (m_pending.size() > kMaxHeadBytes)
            fail();
        return false;
    }
    line = m_pending.left(end > 0 && m_pending.at(end - 1) == '\r' ? end - 1 : end);
    consume(end + 1);
    return true;
}

void HttpResponseParser::parse()
{
    while (m_state == State::Head) {
        // The head ends at the first empty line; bytes searched before are
        // not searched again, however thinly the head comes.
        const qsizetype from = std::max<qsizetype>(0, m_scanned - 2);
        const qsizetype lf = m_pending.indexOf("\n\n", from), crlf = m_pending.indexOf("\n\r\n", from);
        const qsizetype end = lf < 0 ? crlf : crlf < 0 ? lf : std::min(lf, crlf);
        if (end < 0) {
            m_scanned = m_pending.size();
            if (m_pending.size() > kMaxHeadBytes)
                fail();
            return;
        }
        const QByteArray head = m_pending.left(end);
        consume(end + (end == lf ? 2 : 3));
        if (!parseHead(head))
            return fail();
        // An interim response ("100 Continue"): the real one follows.
        if (m_status >= 200)
            startBody();
        else if (m_status == 101)
            return fail();
    }
    if (m_state != State::Body)
        return;
    switch (m_framing) {
    case Framing::Length: {
        const qsizetype take = qsizetype(std::min<qint64>(m_remaining, m_pending.size()));
        appendBody(QByteArrayView(m_pending).first(take));
        consume(take);
        m_remaining -= take;
        if (m_state == State::Body && m_remaining == 0)
            m_state = State::Complete;
        break;
    }
    case Framing::UntilClose:
        appendBody(m_pending);
        consume(m_pending.size());
        break;
    case Framing::Chunked: readChunked(); break;
    }
}

bool HttpResponseParser::parseHead(QByteArrayView head)
{
    m_headers.clear();
    const QList<QByteArrayView> lines = [&] {
        QList<QByteArrayView> all;
        for (qsizetype from = 0; from <= head.size();) {
            qsizetype to = head.indexOf('\n', from);
            if (to < 0)
                to = head.size();
            QByteArrayView line = head.sliced(from, to - from);
            if (line.endsWith('\r'))
                line.chop(1);
            all.append(line);
            from = to + 1;
        }
        return all;
    }();
    // "HTTP/1.1 200 OK"
    const QByteArrayView statusLine = lines.first();
    if (statusLine.size() < 12 || !statusLine.startsWith("HTTP/1.") || statusLine.at(8) != ' '
        || !isDigits(statusLine.sliced(9, 3)) || (statusLine.size() > 12 && statusLine.at(12) != ' '))
        return false;
    m_status = statusLine.sliced(9, 3).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines.at(i);
        if (line.startsWith(' ') || line.startsWith('\t')) {
            // A field folded onto the next line goes on with one space.
            if (m_headers.isEmpty())
                return false;
            m_headers.last().second += ' ' + line.trimmed().toByteArray();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        const QByteArrayView name = colon > 0 ? line.first(colon) : QByteArrayView();
        if (name.isEmpty() || name.contains(' ') || name.contains('\t'))
            return false;
        m_headers.append({ name.toByteArray(), line.sliced(colon + 1).trimmed().toByteArray() });
    }
    return true;
}

void HttpResponseParser::startBody()
{
    m_state = State::Body;
    if (m_status == 204 || m_status == 304) {
        m_state = State::Complete;
        return;
    }
    // The body was asked for as it is: a coding other than chunked could
    // not be read.
    const QByteArray contentCoding = header("Content-Encoding").toLower();
    if (!contentCoding.isEmpty() && contentCoding != "identity")
        return fail();
    const QByteArray transferCoding = header("Transfer-Encoding").toLower();
    if (!transferCoding.isNull()) {
        if (transferCoding != "chunked")
            return fail();
        m_framing = Framing::Chunked;
        m_chunkStep = ChunkStep::Size;
        return;
    }
    // Every Content-Length given must say the same.
    QByteArray length;
    for (const auto &[field, value] : m_headers) {
        if (field.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &part : value.split(',')) {
            const QByteArray number = part.trimmed();
            if (!isDigits(number) || (!length.isNull() && number != length))
                return fail();
            length = number;
        }
    }
    if (length.isNull()) {
        m_framing = Framing::UntilClose;
        return;
    }
    bool ok = false;
    m_remaining = length.toLongLong(&ok);
    if (!ok || m_remaining > m_maxBody)
        return fail(State::TooLong);
    m_framing = Framing::Length;
    if (m_remaining == 0)
        m_state = State::Complete;
}

void HttpResponseParser::readChunked()
{
    QByteArray line;
    while (m_state == State::Body) {
        switch (m_chunkStep) {
        case ChunkStep::Size: {
            if (!takeLine(line))
                return;
            // "1a;name=value": the size in hex, extensions after ";".
            const qsizetype extensions = line.indexOf(';');
            const QByteArray size = (extensions < 0 ? line : line.first(extensions)).trimmed();
            if (size.isEmpty()
                || !std::all_of(size.begin(), size.end(), [](char c) { return std::isxdigit(uchar(c)) != 0; }))
                return fail();
            bool ok = false;
            m_remaining = size.size() <= 15 ? size.toLongLong(&ok, 16) : -1;
            if (!ok || m_remaining > m_maxBody - m_body.size())
                return fail(State::TooLong);
            m_chunkStep = m_remaining == 0 ? ChunkStep::Trailers : ChunkStep::Data;
            break;
        }
        case ChunkStep::Data: {
            if (m_pending.isEmpty())
                return;
            const qsizetype take = qsizetype(std::min<qint64>(m_remaining, m_pending.size()));
            appendBody(QByteArrayView(m_pending).first(take));
            consume(take);
            m_remaining -= take;
            if (m_remaining == 0)
                m_chunkStep = ChunkStep::DataEnd;
            break;
        }
        case ChunkStep::DataEnd:
            if (!takeLine(line))
                return;
            if (!line.isEmpty())
                return fail();
            m_chunkStep = ChunkStep::Size;
            break;
        case ChunkStep::Trailers:
            if (!takeLine(line))
                return;
            if (line.isEmpty()) {
                m_state = State::Complete;
                return;
            }
            m_trailerBytes += line.size();
            if (m_trailerBytes > kMaxHeadBytes)
                return fail();
            break;
        }
    }
}

void HttpResponseParser::appendBody(QByteArrayView bytes)
{
    if (m_body.size() + bytes.size() > m_maxBody)
        return fail(State::TooLong);
    m_body += bytes;
}

} // namespace verlook
