#include "form/DefinitionCodec.h"

#include <QStringView>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kHeaderBytes = 5;
constexpr int kMinCodeBits = 9;
constexpr int kMaxCodeBits = 25;
constexpr std::uint32_t kFirstEntryCode = 256;
// Strings are copied in 16-byte steps that may run up to 15 bytes past their end.
constexpr std::uint32_t kCopyStep = 16;

// A dictionary entry: a string already written to the output.
struct Entry {
    std::uint32_t start;
    std::uint32_t length;
};

UnpackResult Failure(QString error) {
    return {false, QString(), std::move(error)};
}

std::uint32_t LoadLe32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return qFromLittleEndian(v);
}

// Every entry, and the previous string, ends at or before dst, so the bytes that belong to
// the string are read before any step writes over them; the overrun only leaves bytes past
// the string that the next string overwrites. Whole steps keep the common short strings
// free of a length-dependent branch. The bytes go through an unsigned char array because
// the overrun may read bytes not written yet.
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t n) {
    unsigned char step[kCopyStep];
    std::memcpy(step, src, kCopyStep);
    std::memcpy(dst, step, kCopyStep);
    for (std::uint32_t k = kCopyStep; k < n; k += kCopyStep) {
        std::memcpy(step, src + k, kCopyStep);
        std::memcpy(dst + k, step, kCopyStep);
    }
}

// The output is written straight into the storage of the QString that is returned, so the
// text needs no second copy. It is sized exactly (Qt adds only its 2-byte terminator), so a
// sanitizer sees accesses past the slack of the copy steps. It grows on demand up to L: a
// small damaged value that claims a large L costs little.
// The output is preceded by the 256 byte values, so that a literal code is read like an
// entry: a one-byte string at offset code.
class OutputBuffer {
public:
    static constexpr std::uint32_t kOrigin = 256;

    explicit OutputBuffer(std::size_t capacity) {
        Resize(capacity, 0);
        for (std::uint32_t b = 0; b < kOrigin; ++b)
            bytes_[b] = static_cast<std::uint8_t>(b);
    }

    // The buffer; output byte k is at kOrigin + k.
    std::uint8_t* Bytes() { return bytes_; }
    // Output bytes that fit.
    std::size_t Capacity() const { return capacity_; }

    // Keeps the first `written` output bytes. New bytes are left uninitialised: every
    // output byte is written before it is used.
    void Resize(std::size_t capacity, std::size_t written) {
        const std::size_t bytes = kOrigin + capacity + kCopyStep - 1;
        QString storage(static_cast<qsizetype>((bytes + 1) / 2), Qt::Uninitialized);
        auto* data = reinterpret_cast<std::uint8_t*>(storage.data());
        if (bytes_)
            std::memcpy(data, bytes_, kOrigin + written);
        storage_.swap(storage);
        bytes_ = data;
        capacity_ = capacity;
    }

    // The UTF-16LE text in the first byteLength output bytes, up to its first NUL.
    QString TakeText(std::uint32_t byteLength) {
        storage_.remove(0, kOrigin / 2); // only moves the start of the text
        auto chars = static_cast<qsizetype>(byteLength / 2);
        if constexpr (std::endian::native != std::endian::little) {
            auto* p = reinterpret_cast<char16_t*>(storage_.data());
            for (qsizetype k = 0; k < chars; ++k)
                p[k] = qFromLittleEndian(p[k]);
        }
        const qsizetype nul = QStringView(storage_.constData(), chars).indexOf(QChar(0));
        storage_.truncate(nul >= 0 ? nul : chars);
        if (storage_.size() < storage_.capacity() / 2)
            storage_.squeeze();
        return std::move(storage_);
    }

private:
    QString storage_;
    std::uint8_t* bytes_ = nullptr;
    std::size_t capacity_ = 0;
};

} // namespace

UnpackResult UnpackDefinition(const QByteArray& stored) {
    return UnpackDefinition(reinterpret_cast<const std::uint8_t*>(stored.constData()),
                            static_cast<std::size_t>(stored.size()));
}

UnpackResult UnpackDefinition(const std::uint8_t* stored, std::size_t size) {
    if (size < kHeaderBytes + 1)
        return Failure(QStringLiteral("定义数据过短：%1 字节，至少需要 6 字节").arg(size));
    const std::uint32_t length = LoadLe32(stored);
    const int bits = stored[4];
    if (bits < kMinCodeBits || bits > kMaxCodeBits)
        return Failure(QStringLiteral("编码位宽 %1 无效，应为 9 到 25").arg(bits));
    if (length > kMaxUnpackedDefinitionBytes)
        return Failure(QStringLiteral("声明的解压长度 %1 字节超过上限 256 MiB").arg(length));

    // Only codes whose every bit is present are read; the bits after the last code that L
    // needs are padding. The first code counts as present with byte 5 alone, since only
    // that byte of it is used.
    const std::uint64_t streamBits = (static_cast<std::uint64_t>(size) - kHeaderBytes) * 8;
    const std::uint64_t codeCount = std::max<std::uint64_t>(1, streamBits / bits);
    // String k is at most k + 1 bytes long (an entry is one byte longer than the string it
    // extends), so M codes produce at most M(M+1)/2 bytes.
    if (codeCount < (std::uint64_t{1} << 24) && codeCount * (codeCount + 1) / 2 < length)
        return Failure(
            QStringLiteral("声明的解压长度 %1 字节超出编码流所能产生的长度").arg(length));

    const std::uint32_t mask = (std::uint32_t{1} << bits) - 1;
    const std::uint32_t entryLimit = mask + 1 - kFirstEntryCode;
    constexpr std::uint32_t origin = OutputBuffer::kOrigin;
    // Indexed by code: the 256 literals, then the entries. One entry is added per code
    // after the first, so the stream and L bound the table as well as B does. Entries are
    // written before they are read, so the table is left uninitialised.
    const std::size_t tableSize =
        kFirstEntryCode +
        static_cast<std::size_t>(std::min<std::uint64_t>({entryLimit, codeCount, length + 1u}));
    const auto table = std::make_unique_for_overwrite<Entry[]>(tableSize);
    for (std::uint32_t c = 0; c < kFirstEntryCode; ++c)
        table[c] = {c, 1};

    // Reserving more than is written costs little, as untouched pages are never mapped;
    // the limit keeps a damaged value that claims a large L from reserving it all at once.
    const std::size_t initial =
        std::min<std::size_t>(length, std::max<std::size_t>(size * 64, 64 * 1024));
    OutputBuffer out(std::max<std::size_t>(initial, 1));
    std::uint8_t* buf = out.Bytes();
    // Positions below are buffer offsets: output byte k is at origin + k.
    std::uint64_t limit = origin + out.Capacity();
    const std::uint64_t end = origin + std::uint64_t{length};

    buf[origin] = stored[kHeaderBytes];
    std::uint32_t i = origin + 1;
    // Start of the previous string: the entry being defined begins there and is one byte
    // longer than that string.
    std::uint32_t previous = origin;
    std::uint32_t pendingLength = 2;
    // The code of the entry being defined; 256 + the number of entries.
    std::uint32_t defining = kFirstEntryCode;
    const std::uint32_t codeEnd = mask + 1;

    std::uint64_t pos = kHeaderBytes * 8 + static_cast<std::uint64_t>(bits);
    const std::uint64_t streamEnd = kHeaderBytes * 8 + streamBits;
    // Up to here a 4-byte load at pos / 8 stays inside the input, and holds a whole code.
    const std::uint64_t fastEnd = size >= kHeaderBytes + 4 ? (size - 4) * 8 + 7 : 0;
    const auto codeNumber = [&] { return (pos - kHeaderBytes * 8) / bits; };

    while (i < end) {
        std::uint32_t word;
        if (pos <= fastEnd) {
            word = LoadLe32(stored + (pos >> 3));
        } else {
            if (pos + bits > streamEnd)
                return Failure(
                    QStringLiteral("编码流在第 %1 个编码处提前结束").arg(codeNumber() + 1));
            word = 0;
            for (std::size_t k = pos >> 3; k < size; ++k)
                word |= static_cast<std::uint32_t>(stored[k]) << (8 * (k - (pos >> 3)));
        }
        const std::uint32_t code = (word >> (pos & 7)) & mask;
        pos += bits;

        if (defining == codeEnd)
            defining = kFirstEntryCode;

        std::uint32_t start;
        std::uint32_t n;
        if (code < defining) {
            start = table[code].start;
            n = table[code].length;
        } else if (code == defining) {
            // The entry being defined: the previous string plus its own first byte.
            start = previous;
            n = pendingLength;
        } else {
            return Failure(
                QStringLiteral("第 %1 个编码 %2 引用了不存在的字典项").arg(codeNumber()).arg(code));
        }

        if (i + std::uint64_t{n} > limit) {
            if (i + std::uint64_t{n} > end)
                return Failure(QStringLiteral("第 %1 个编码的数据超出声明的长度 %2 字节")
                                   .arg(codeNumber())
                                   .arg(length));
            const std::uint64_t needed = i + std::uint64_t{n} - origin;
            out.Resize(static_cast<std::size_t>(
                           std::min<std::uint64_t>(length, std::max(needed, 2 * out.Capacity()))),
                       i - origin);
            buf = out.Bytes();
            limit = origin + out.Capacity();
        }

        CopyString(buf + i, buf + start, n);
        if (code == defining)
            buf[i + n - 1] = buf[start];

        table[defining++] = {previous, pendingLength};
        pendingLength = n + 1;
        previous = i;
        i += n;
    }
    return {true, out.TakeText(length), QString()};
}

namespace {

// Open-addressing map from (entry code, next byte) to the code of the entry that extends
// it. A slot packs key + 1 above the 25-bit code, so 0 marks an empty slot. It starts small
// and doubles, as the number of entries a text needs is not known beforehand.
class EntryMap {
public:
    EntryMap() { Allocate(1024); }

    void Clear() {
        std::fill(slots_.begin(), slots_.end(), 0);
        used_ = 0;
    }

    // The code stored for (prefix, byte), or 0 (no entry code is below 256).
    std::uint32_t Find(std::uint32_t prefix, std::uint8_t byte) const {
        const std::uint64_t key = Key(prefix, byte);
        for (std::size_t k = Slot(key);; k = (k + 1) & mask_) {
            const std::uint64_t s = slots_[k];
            if (s == 0)
                return 0;
            if (s >> kCodeBits == key)
                return static_cast<std::uint32_t>(s & kCodeMask);
        }
    }

    // The key must not be present yet.
    void Insert(std::uint32_t prefix, std::uint8_t byte, std::uint32_t code) {
        if (++used_ * 2 > slots_.size())
            Grow();
        Place(Key(prefix, byte) << kCodeBits | code);
    }

private:
    static constexpr int kCodeBits = kMaxCodeBits;
    static constexpr std::uint64_t kCodeMask = (std::uint64_t{1} << kCodeBits) - 1;

    static std::uint64_t Key(std::uint32_t prefix, std::uint8_t byte) {
        return (std::uint64_t{prefix} << 8 | byte) + 1;
    }

    std::size_t Slot(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    }

    void Allocate(std::size_t slotCount) {
        slots_.assign(slotCount, 0);
        mask_ = slotCount - 1;
        shift_ = 64 - std::countr_zero(slotCount);
    }

    void Place(std::uint64_t slot) {
        std::size_t k = Slot(slot >> kCodeBits);
        while (slots_[k] != 0)
            k = (k + 1) & mask_;
        slots_[k] = slot;
    }

    void Grow() {
        std::vector<std::uint64_t> old;
        old.swap(slots_);
        Allocate(old.size() * 2);
        for (const std::uint64_t s : old)
            if (s != 0)
                Place(s);
    }

    std::vector<std::uint64_t> slots_;
    std::size_t used_ = 0;
    std::size_t mask_ = 0;
    int shift_ = 0;
};

// The header, then codes of a fixed width, least-significant bit first, into a buffer grown
// as needed.
class StoredWriter {
public:
    StoredWriter(std::uint32_t length, int bits, std::size_t expectedBytes) : bits_(bits) {
        out_.resize(static_cast<qsizetype>(std::max(expectedBytes, kHeaderBytes + 8)));
        data_ = out_.data();
        const std::uint32_t le = qToLittleEndian(length);
        std::memcpy(data_, &le, sizeof le);
        data_[4] = static_cast<char>(bits);
        pos_ = kHeaderBytes;
    }

    void Put(std::uint32_t code) {
        acc_ |= std::uint64_t{code} << held_;
        held_ += bits_;
        if (held_ >= 32) {
            Reserve(4);
            const std::uint32_t word = qToLittleEndian(static_cast<std::uint32_t>(acc_));
            std::memcpy(data_ + pos_, &word, sizeof word);
            pos_ += 4;
            acc_ >>= 32;
            held_ -= 32;
        }
    }

    QByteArray Finish() {
        Reserve(4);
        for (; held_ > 0; held_ -= std::min(held_, 8)) {
            data_[pos_++] = static_cast<char>(acc_ & 0xFF);
            acc_ >>= 8;
        }
        out_.truncate(static_cast<qsizetype>(pos_));
        out_.squeeze();
        return std::move(out_);
    }

private:
    void Reserve(std::size_t more) {
        if (pos_ + more > static_cast<std::size_t>(out_.size())) {
            out_.resize(std::max<qsizetype>(out_.size() * 2, static_cast<qsizetype>(pos_ + more)));
            data_ = out_.data();
        }
    }

    QByteArray out_;
    char* data_ = nullptr;
    std::size_t pos_ = 0;
    std::uint64_t acc_ = 0;
    int held_ = 0;
    int bits_;
};

} // namespace

QByteArray PackDefinition(const QString& text, int codeBits) {
    if (codeBits < kMinCodeBits || codeBits > kMaxCodeBits)
        return {};
    qsizetype chars = text.indexOf(QChar(0));
    if (chars < 0)
        chars = text.size();
    // The stored bytes include the terminating NUL character.
    const std::size_t n = static_cast<std::size_t>(chars) * 2 + 2;
    if (n > kMaxUnpackedDefinitionBytes)
        return {};

    std::vector<std::uint8_t> converted;
    const std::uint8_t* bytes;
    if constexpr (std::endian::native == std::endian::little) {
        // utf16() is NUL-terminated, and when the text was cut at a NUL the two bytes after
        // the kept characters are that NUL.
        bytes = reinterpret_cast<const std::uint8_t*>(text.utf16());
    } else {
        converted.resize(n, 0);
        for (qsizetype k = 0; k < chars; ++k)
            qToLittleEndian(text.at(k).unicode(), converted.data() + 2 * k);
        bytes = converted.data();
    }

    const std::uint32_t entryLimit = (std::uint32_t{1} << codeBits) - kFirstEntryCode;
    EntryMap map;
    StoredWriter writer(static_cast<std::uint32_t>(n), codeBits, kHeaderBytes + n / 2 + 64);

    // The first string is always the single first byte.
    writer.Put(bytes[0]);
    std::uint32_t previousCode = bytes[0];
    std::uint32_t entries = 0;
    std::size_t pos = 1;
    while (pos < n) {
        // Mirror of the reader: before it reads each code it empties a full dictionary,
        // then after the string it adds "previous string + this string's first byte".
        // That entry is added here before matching, which lets the match use it (the
        // reader's case of a code naming the entry being defined).
        bool emptied = false;
        if (entries == entryLimit) {
            map.Clear();
            entries = 0;
            emptied = true;
        }
        // After emptying, a previous string that was itself an entry has no code in the new
        // dictionary: its extension cannot be reached by matching, and its old code must not
        // be used as a key, as that code may now name another string.
        if (!emptied || previousCode < kFirstEntryCode)
            map.Insert(previousCode, bytes[pos], kFirstEntryCode + entries);
        ++entries;

        std::uint32_t code = bytes[pos];
        std::size_t end = pos + 1;
        while (end < n) {
            const std::uint32_t next = map.Find(code, bytes[end]);
            if (next == 0)
                break;
            code = next;
            ++end;
        }
        writer.Put(code);
        previousCode = code;
        pos = end;
    }
    return writer.Finish();
}
