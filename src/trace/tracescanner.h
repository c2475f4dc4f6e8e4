#pragma once

#include <QByteArray>
#include <QLatin1String>

#include <array>
#include <cstring>

class QIODevice;

// Reads trace files that keep to the plain XML every exporter writes, many
// times faster than the general XML reader: ASCII text, an optional
// <?xml version="1.0"?> declaration (encoding UTF-8 or ASCII), elements with
// attributes, the predefined and numeric character references in attribute
// values, and white space between the tags. Anything else (a byte-order mark,
// another encoding, a DOCTYPE, a comment, a processing instruction, CDATA,
// text, a byte above 0x7E, a namespace prefix, a repeated attribute) and every
// error of the XML is left to the general reader: the scanner answers
// NotUnderstood and never says why, so that all messages stay that reader's.
// Whatever the scanner reads, the general reader reads alike: the same start
// and end tags in the same order, with the same attribute values.
class TraceScanner
{
public:
    // Elements open at once: the node's handler refuses deeper files anyway.
    static constexpr int MaxDepth = 256;
    static constexpr int MaxAttributes = 16;
    static constexpr int MaxNameLength = 64;
    // The general reader ends a file that runs 2^24 characters without a
    // start tag (see NodeReader); the scanner leaves every file that comes
    // within 1 MiB of that to it, so that both agree on where the limit lies.
    static constexpr qint64 MaxBytesWithoutStartTag = (qint64(1) << 24) - (qint64(1) << 20);

    // The attributes of one start tag, valid while the sink looks at them.
    class Attributes
    {
    public:
        // The value of the attribute named `name`, references replaced; empty
        // when the tag has none, as the general reader's attributes answer.
        QLatin1String value(QLatin1String name) const
        {
            for (int i = 0; i < m_count; ++i) {
                if (same(m_list[size_t(i)].name, name))
                    return m_list[size_t(i)].value;
            }
            return QLatin1String();
        }

    private:
        friend class TraceScanner;
        struct Attribute
        {
            QLatin1String name;
            QLatin1String value;
        };
        std::array<Attribute, MaxAttributes> m_list;
        int m_count = 0;
        quint64 m_nameBits = 0; // a bit for each name's length and last byte
    };

    // Told every tag in file order; false from either stops the scan.
    class Sink
    {
    public:
        virtual bool startTag(QLatin1String name, const Attributes &attributes) = 0;
        // An empty-element tag gives a start and an end tag.
        virtual bool endTag() = 0;

    protected:
        ~Sink() = default;
    };

    enum class Result {
        Read,          // the whole file, every tag told
        NotUnderstood, // something for the general reader; the tags before it were told
        Refused        // the sink said stop
    };

    // Reads `device` (not owned), from its start, in blocks of 64 kB: a mapped
    // file would fault when the file shrinks under it, a block read just ends.
    explicit TraceScanner(QIODevice *device);

    // Reads the file from its start, with the device's text mode off (the
    // general reader keeps carriage returns too); a null sink only checks it.
    // The device's position is left anywhere. Each scan reads the file anew.
    Result scan(Sink *sink);
    // Bytes of the file passed so far: during a scan, up to the current tag.
    qint64 position() const { return m_bufferOffset + m_pos; }

private:
    enum class Step { Done, NeedMore, NotUnderstood, Refused };

    template<typename Word> static Word load(const char *p)
    {
        Word word;
        std::memcpy(&word, p, sizeof word);
        return word;
    }
    // Names are a few bytes long: two overlapping word compares cover most.
    static bool same(QLatin1String a, QLatin1String b)
    {
        const qsizetype n = a.size();
        if (n != b.size())
            return false;
        const char *const x = a.data();
        const char *const y = b.data();
        if (n >= 8)
            return load<quint64>(x) == load<quint64>(y) &&
                   load<quint64>(x + n - 8) == load<quint64>(y + n - 8) &&
                   (n <= 16 || std::memcmp(x + 8, y + 8, size_t(n - 16)) == 0);
        if (n >= 4)
            return load<quint32>(x) == load<quint32>(y) &&
                   load<quint32>(x + n - 4) == load<quint32>(y + n - 4);
        return n == 0 || (x[0] == y[0] && x[n - 1] == y[n - 1] && (n < 3 || x[1] == y[1]));
    }

    enum class Place { Prolog, Content, Epilog };

    Step item(Sink *sink);
    Step declaration();
    Step startTag(Sink *sink);
    Step endTag(Sink *sink);
    // Reads the attributes up to the tag's end, where `p` then stands: '>' or "/>".
    Step attributes(const char *&p, const char *end, std::array<bool, MaxAttributes> &references);
    Step attribute(const char *&p, const char *end, bool &references);
    void replaceReferences(QLatin1String &value);
    bool refill();
    bool pushName(QLatin1String name);
    bool popName(QLatin1String name);
    bool tooLongWithoutStartTag() const;

    QIODevice *const m_device;
    QByteArray m_buffer;
    qint64 m_bufferOffset = 0; // file offset of m_buffer's first byte
    qsizetype m_pos = 0;       // next byte to read in m_buffer
    qsizetype m_size = 0;      // bytes of m_buffer that hold file data
    bool m_atEnd = false;
    bool m_failed = false; // a read failed, or a tag outgrew the buffer
    Place m_place = Place::Prolog;
    qint64 m_lastStartTag = 0; // file offset just after the last start tag
    Attributes m_attributes;
    int m_depth = 0;
    std::array<std::array<char, MaxNameLength>, MaxDepth> m_openNames;
    std::array<quint8, MaxDepth> m_openLengths;
};
