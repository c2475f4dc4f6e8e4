#include "trace/tracescanner.h"

#include <QIODevice>

#include <cstring>

namespace {

constexpr qint64 BlockSize = 64 * 1024;

enum : quint8 { Space = 1, NameStart = 2, NameChar = 4, ValueChar = 8, PlainValue = 16 };

// What each byte may be. Names keep to the ASCII letters, digits and "_.-":
// a colon would bring in namespaces. Values take printable ASCII and the
// white space the reader keeps in them as it is; plain value bytes need no
// second look (no quote, no reference).
constexpr std::array<quint8, 256> classes = [] {
    std::array<quint8, 256> table{};
    for (int c = 0x20; c < 0x7F; ++c)
        table[c] = ValueChar | PlainValue;
    table['<'] = table['&'] = 0;
    table['"'] = table['\''] = ValueChar; // the quote that does not close the value
    for (const char c : {' ', '\t', '\n', '\r'})
        table[uchar(c)] = Space | ValueChar | PlainValue;
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] |= NameStart | NameChar;
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] |= NameStart | NameChar;
    table['_'] |= NameStart | NameChar;
    for (int c = '0'; c <= '9'; ++c)
        table[c] |= NameChar;
    table['.'] |= NameChar;
    table['-'] |= NameChar;
    return table;
}();

bool is(char c, quint8 what)
{
    return (classes[uchar(c)] & what) != 0;
}

// The buffer's data is followed by a 0 byte, which is of no class: the
// loops over bytes stop there without a bound check of their own.
const char *skip(const char *p, quint8 what)
{
    while (is(*p, what))
        ++p;
    return p;
}

// The character a reference's text between '&' and ';' stands for; -1 when
// it is none the scanner reads. Only printable ASCII counts, and the forms
// the reader knows: "#" decimal digits, "#x" (lower case) hex digits, or one
// of the five predefined names.
int referencedCharacter(QLatin1String body)
{
    static constexpr std::pair<const char *, char> named[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto &[name, character] : named) {
        if (body == QLatin1String(name))
            return character;
    }
    if (!body.startsWith(QLatin1Char('#')))
        return -1;
    body = body.mid(1);
    int base = 10;
    if (body.startsWith(QLatin1Char('x'))) {
        base = 16;
        body = body.mid(1);
    }
    if (body.isEmpty() || body.size() > 8) // 8 digits cannot overflow
        return -1;
    quint32 value = 0;
    for (const char c : body) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : 99;
        if (digit >= base)
            return -1;
        value = value * quint32(base) + quint32(digit);
    }
    return value >= 0x20 && value < 0x7F ? int(value) : -1;
}

// The length of the reference that starts at `p` ('&'), its character in
// `character`; 0 when the buffer ends first, -1 when the scanner does not read it.
qsizetype reference(const char *p, const char *end, char &character)
{
    constexpr qsizetype longest = 12; // "&#x" + 8 digits + ";"
    const qsizetype available = qMin(qsizetype(end - p), longest);
    const auto *semicolon = static_cast<const char *>(std::memchr(p, ';', size_t(available)));
    if (!semicolon)
        return available < longest ? 0 : -1;
    const int code = referencedCharacter(QLatin1String(p + 1, semicolon - p - 1));
    if (code < 0)
        return -1;
    character = char(code);
    return semicolon - p + 1;
}

// The encoding names that read ASCII as ASCII, as the reader's codecs do.
bool isAsciiEncoding(QLatin1String name)
{
    for (const char *known : {"UTF-8", "US-ASCII", "ASCII"}) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool take(QLatin1String &rest, QLatin1String prefix)
{
    if (!rest.startsWith(prefix))
        return false;
    rest = rest.mid(prefix.size());
    return true;
}

// One or more blanks.
bool takeSpace(QLatin1String &rest)
{
    qsizetype n = 0;
    while (n < rest.size() && is(rest[n].toLatin1(), Space))
        ++n;
    rest = rest.mid(n);
    return n > 0;
}

bool takeQuoted(QLatin1String &rest, QLatin1String &value)
{
    if (rest.isEmpty() || (rest.front() != QLatin1Char('"') && rest.front() != QLatin1Char('\'')))
        return false;
    const qsizetype close = rest.indexOf(rest.front(), 1);
    if (close < 0)
        return false;
    value = rest.mid(1, close - 1);
    rest = rest.mid(close + 1);
    return true;
}

// What lies between "<?xml" and "?>": version 1.0 and maybe an ASCII encoding.
bool isPlainDeclaration(QLatin1String rest)
{
    QLatin1String version;
    if (!takeSpace(rest) || !take(rest, QLatin1String("version=")) || !takeQuoted(rest, version) ||
        version != QLatin1String("1.0"))
        return false;
    const bool spaced = takeSpace(rest);
    QLatin1String encoding;
    if (spaced && take(rest, QLatin1String("encoding="))) {
        if (!takeQuoted(rest, encoding) || !isAsciiEncoding(encoding))
            return false;
        takeSpace(rest);
    }
    return rest.isEmpty();
}

} // namespace

TraceScanner::TraceScanner(QIODevice *device)
    : m_device(device)
{}

TraceScanner::Result TraceScanner::scan(Sink *sink)
{
    m_buffer.resize(2 * BlockSize + 1);
    m_buffer[0] = 0;
    m_bufferOffset = m_pos = m_size = m_lastStartTag = 0;
    m_atEnd = m_failed = false;
    m_place = Place::Prolog;
    m_depth = 0;
    // The reader sees the carriage returns that text mode would drop.
    m_device->setTextModeEnabled(false);
    if (!m_device->seek(0))
        return Result::NotUnderstood;

    Step step = declaration();
    while (step == Step::NeedMore && refill())
        step = declaration();
    while (step == Step::Done) {
        step = item(sink);
        if (step == Step::NeedMore && refill())
            step = Step::Done;
    }
    if (step == Step::Refused)
        return Result::Refused;
    const bool whole = step == Step::NeedMore && m_atEnd && !m_failed && m_pos == m_size;
    return whole && m_place == Place::Epilog ? Result::Read : Result::NotUnderstood;
}

TraceScanner::Step TraceScanner::declaration()
{
    // The reader takes a declaration only at the very start of the file.
    constexpr qsizetype longest = 128;
    const QLatin1String head(m_buffer.constData(), qMin(m_size, longest));
    if (!head.startsWith(QLatin1String("<?")) || m_bufferOffset > 0)
        return head.size() < 2 && !m_atEnd ? Step::NeedMore : Step::Done;
    const qsizetype close = head.indexOf(QLatin1String("?>"));
    if (close < 0)
        return head.size() < longest && !m_atEnd ? Step::NeedMore : Step::NotUnderstood;
    if (!head.startsWith(QLatin1String("<?xml")) || !isPlainDeclaration(head.mid(5, close - 5)))
        return Step::NotUnderstood;
    m_pos = close + 2;
    return Step::Done;
}

TraceScanner::Step TraceScanner::item(Sink *sink)
{
    const char *const data = m_buffer.constData();
    m_pos = skip(data + m_pos, Space) - data;
    if (tooLongWithoutStartTag())
        return Step::NotUnderstood;
    if (m_size - m_pos < 2)
        return m_pos < m_size && data[m_pos] != '<' ? Step::NotUnderstood : Step::NeedMore;
    if (data[m_pos] != '<' || m_place == Place::Epilog)
        return Step::NotUnderstood;
    if (data[m_pos + 1] == '/')
        return m_place == Place::Content ? endTag(sink) : Step::NotUnderstood;
    if (is(data[m_pos + 1], NameStart))
        return startTag(sink);
    return Step::NotUnderstood; // a comment, a processing instruction, a DOCTYPE, CDATA
}

TraceScanner::Step TraceScanner::startTag(Sink *sink)
{
    const char *const data = m_buffer.constData();
    const char *p = skip(data + m_pos + 1, NameChar);
    const QLatin1String name(data + m_pos + 1, p - data - m_pos - 1);
    std::array<bool, MaxAttributes> references{};
    if (const Step step = attributes(p, data + m_size, references); step != Step::Done)
        return step;
    const bool empty = *p == '/';
    m_pos = p + (empty ? 2 : 1) - data;
    if (tooLongWithoutStartTag() || (!empty && !pushName(name)))
        return Step::NotUnderstood;
    m_lastStartTag = position();
    for (int i = 0; i < m_attributes.m_count; ++i) {
        if (references[size_t(i)])
            replaceReferences(m_attributes.m_list[size_t(i)].value);
    }
    if (m_place == Place::Prolog)
        m_place = empty ? Place::Epilog : Place::Content;
    if (sink && (!sink->startTag(name, m_attributes) || (empty && !sink->endTag())))
        return Step::Refused;
    return Step::Done;
}

TraceScanner::Step TraceScanner::attributes(const char *&p, const char *end,
                                            std::array<bool, MaxAttributes> &references)
{
    m_attributes.m_count = 0;
    m_attributes.m_nameBits = 0;
    for (;;) {
        const char *const spaceStart = p;
        p = skip(p, Space);
        if (*p == '>' || (*p == '/' && p[1] == '>'))
            return Step::Done;
        if (end - p < 2)
            return Step::NeedMore;
        if (p == spaceStart || m_attributes.m_count == MaxAttributes)
            return Step::NotUnderstood;
        const Step step = attribute(p, end, references[size_t(m_attributes.m_count)]);
        if (step != Step::Done)
            return step;
    }
}

TraceScanner::Step TraceScanner::attribute(const char *&at, const char *end, bool &references)
{
    // On a local pointer: the loops below are the hot path of a whole load.
    const char *p = at;
    if (!is(*p, NameStart))
        return Step::NotUnderstood;
    const char *const nameEnd = skip(p + 1, NameChar);
    const QLatin1String name(p, nameEnd - p);
    p = skip(nameEnd, Space);
    if (*p != '=')
        return p == end ? Step::NeedMore : Step::NotUnderstood;
    p = skip(p + 1, Space);
    const char quote = *p;
    if (quote != '"' && quote != '\'')
        return p == end ? Step::NeedMore : Step::NotUnderstood;
    const char *const valueStart = ++p;
    references = false;
    for (;;) {
        p = skip(p, PlainValue);
        if (*p == quote)
            break;
        char character = 0;
        const qsizetype length = *p == '&' ? reference(p, end, character) : is(*p, ValueChar) ? 1 : -1;
        if (length <= 0)
            return length == 0 || p == end ? Step::NeedMore : Step::NotUnderstood;
        references = references || *p == '&';
        p += length;
    }
    const QLatin1String value(valueStart, p - valueStart);
    at = p + 1;

    // The reader would take "xmlns" for a namespace, and report only the
    // first of two attributes of one name. Names seldom share a bit.
    const quint64 bit = quint64(1) << ((uchar(name.back().toLatin1()) + 7 * name.size()) & 63);
    if (same(name, QLatin1String("xmlns")) ||
        ((m_attributes.m_nameBits & bit) != 0 && m_attributes.value(name).data() != nullptr))
        return Step::NotUnderstood;
    m_attributes.m_nameBits |= bit;
    m_attributes.m_list[size_t(m_attributes.m_count++)] = {name, value};
    return Step::Done;
}

void TraceScanner::replaceReferences(QLatin1String &value)
{
    // In place: a reference is longer than its character. The tag is whole
    // and read, so its bytes are not looked at again.
    char *const start = m_buffer.data() + (value.data() - m_buffer.constData());
    const char *const end = start + value.size();
    char *out = start;
    for (const char *in = start; in < end;) {
        char character = *in;
        // Every reference was read once already: it has its length here too.
        in += *in == '&' ? qMax(reference(in, end, character), qsizetype(1)) : 1;
        *out++ = character;
    }
    value = QLatin1String(start, out - start);
}

TraceScanner::Step TraceScanner::endTag(Sink *sink)
{
    const char *const data = m_buffer.constData();
    const char *const end = data + m_size;
    const char *const nameStart = data + m_pos + 2;
    if (nameStart < end && !is(*nameStart, NameStart))
        return Step::NotUnderstood;
    const char *p = skip(nameStart, NameChar);
    const QLatin1String name(nameStart, p - nameStart);
    p = skip(p, Space);
    if (p == end)
        return Step::NeedMore;
    if (*p != '>' || !popName(name))
        return Step::NotUnderstood;
    m_pos = p + 1 - data;
    if (m_depth == 0)
        m_place = Place::Epilog;
    return sink && !sink->endTag() ? Step::Refused : Step::Done;
}

bool TraceScanner::pushName(QLatin1String name)
{
    if (m_depth == MaxDepth || name.size() > MaxNameLength)
        return false;
    std::memcpy(m_openNames[size_t(m_depth)].data(), name.data(), size_t(name.size()));
    m_openLengths[size_t(m_depth)] = quint8(name.size());
    ++m_depth;
    return true;
}

bool TraceScanner::popName(QLatin1String name)
{
    if (m_depth == 0)
        return false;
    --m_depth;
    return same(name, QLatin1String(m_openNames[size_t(m_depth)].data(), m_openLengths[size_t(m_depth)]));
}

bool TraceScanner::tooLongWithoutStartTag() const
{
    return position() - m_lastStartTag > MaxBytesWithoutStartTag;
}

bool TraceScanner::refill()
{
    if (m_atEnd || m_failed)
        return false;
    // Keep the unread bytes: the start of a tag that did not fit.
    const qsizetype kept = m_size - m_pos;
    std::memmove(m_buffer.data(), m_buffer.constData() + m_pos, size_t(kept));
    m_bufferOffset += m_pos;
    m_pos = 0;
    m_size = kept;
    if (m_buffer.size() - m_size <= BlockSize) {
        // A tag this long runs past the reader's limit anyway.
        if (m_size > MaxBytesWithoutStartTag) {
            m_failed = true;
            return false;
        }
        m_buffer.resize(2 * m_buffer.size());
    }
    const qint64 got = m_device->read(m_buffer.data() + m_size, BlockSize);
    m_failed = got < 0;
    m_atEnd = got == 0;
    m_size += qMax(got, qint64(0));
    m_buffer[m_size] = 0; // the loops' stop
    return got > 0;
}
