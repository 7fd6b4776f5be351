#include "filter/rowdeflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace zlk::filter {

namespace {

constexpr long long kWindow = 32768;
// Runs shorter than this many rows stay in zlib's blocks.
constexpr long long kShortestRun = 4;
constexpr int kEndOfBlock = 256;
constexpr int kLength258 = 285;

// Deflate's length codes 257..284: the shortest length of each and its extra bits.
constexpr std::array<int, 28> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11, 13,  15,  17,  19,  23,
                                             27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227};
constexpr std::array<int, 28> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                              2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
// The order in which a dynamic block lists the code lengths of its code-length code.
constexpr std::array<int, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Deflate's bit order: values from the least significant bit, Huffman codes
// from their most significant bit.
class BitWriter {
public:
    void Put(uint32_t value, int count)
    {
        bits_ |= static_cast<uint64_t>(value) << count_;
        count_ += count;
        while (count_ >= 8) {
            out_.push_back(static_cast<unsigned char>(bits_));
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    void PutCode(uint32_t code, int length)
    {
        uint32_t reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= ((code >> i) & 1u) << (length - 1 - i);
        Put(reversed, length);
    }
    // An empty stored block: what follows starts on a byte, as zlib's own
    // output does after a sync flush.
    void AlignWithEmptyStoredBlock()
    {
        Put(0, 3);
        if (count_)
            Put(0, 8 - count_);
        Put(0x0000, 16);
        Put(0xFFFF, 16);
    }
    const std::vector<unsigned char>& bytes() const { return out_; }

private:
    std::vector<unsigned char> out_;
    uint64_t bits_ = 0;
    int count_ = 0;
};

// The canonical Huffman codes for the given code lengths.
std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths)
{
    std::array<int, 16> perLength{};
    for (int length : lengths)
        if (length > 0)
            ++perLength[static_cast<size_t>(length)];
    std::array<uint32_t, 16> next{};
    uint32_t code = 0;
    for (size_t bits = 1; bits < 16; ++bits) {
        code = (code + static_cast<uint32_t>(perLength[bits - 1])) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol)
        if (lengths[symbol] > 0)
            codes[symbol] = next[static_cast<size_t>(lengths[symbol])]++;
    return codes;
}

// One dynamic-Huffman block holding `count` more bytes equal to the byte
// before them, followed by an empty stored block: copies of 258 bytes from
// one byte back, and the few bytes left over.
class RunBlock {
public:
    RunBlock(unsigned char value, long long count)
        : value_(value),
          fullCopies_(count / 258),
          rest_(static_cast<int>(count % 258))
    {
        // A complete prefix code, shortest for the copy of 258 bytes, which
        // nearly every symbol is.
        literalLengths_.assign(286, 0);
        literalLengths_[kLength258] = 1;
        if (rest_ >= 3) {
            restCode_ = 0;
            while (restCode_ + 1 < static_cast<int>(kLengthBase.size()) && kLengthBase[restCode_ + 1] <= rest_)
                ++restCode_;
            literalLengths_[static_cast<size_t>(257 + restCode_)] = 2;
            literalLengths_[kEndOfBlock] = 2;
        } else if (rest_ > 0) {
            literalLengths_[value_] = 2;
            literalLengths_[kEndOfBlock] = 2;
        } else {
            literalLengths_[kEndOfBlock] = 1;
        }
        literalCodes_ = CanonicalCodes(literalLengths_);
    }

    void Write(BitWriter& out) const
    {
        out.Put(0, 1);  // not the last block
        out.Put(2, 2);  // dynamic Huffman codes
        WriteCodeLengths(out);
        for (long long i = 0; i < fullCopies_; ++i) {
            Literal(out, kLength258);
            out.PutCode(0, 1);  // distance 1, the only distance code
        }
        if (rest_ >= 3) {
            Literal(out, 257 + restCode_);
            out.Put(static_cast<uint32_t>(rest_ - kLengthBase[static_cast<size_t>(restCode_)]),
                    kLengthExtra[static_cast<size_t>(restCode_)]);
            out.PutCode(0, 1);
        } else {
            for (int i = 0; i < rest_; ++i)
                Literal(out, value_);
        }
        Literal(out, kEndOfBlock);
        out.AlignWithEmptyStoredBlock();
    }

private:
    void Literal(BitWriter& out, int symbol) const
    {
        const auto s = static_cast<size_t>(symbol);
        out.PutCode(literalCodes_[s], literalLengths_[s]);
    }

    // The two codes' lengths, themselves coded: runs of zeros shortened with
    // symbols 17 and 18, under a complete code over the symbols used.
    void WriteCodeLengths(BitWriter& out) const
    {
        std::vector<int> all = literalLengths_;
        all.push_back(1);  // the one distance code
        struct Item {
            int symbol, extra, extraBits;
        };
        std::vector<Item> items;
        for (size_t i = 0; i < all.size();) {
            if (all[i] != 0) {
                items.push_back({all[i], 0, 0});
                ++i;
                continue;
            }
            size_t run = 0;
            while (i + run < all.size() && all[i + run] == 0)
                ++run;
            i += run;
            while (run >= 11) {
                const size_t n = std::min<size_t>(run, 138);
                items.push_back({18, static_cast<int>(n - 11), 7});
                run -= n;
            }
            if (run >= 3) {
                items.push_back({17, static_cast<int>(run - 3), 3});
                run = 0;
            }
            for (; run > 0; --run)
                items.push_back({0, 0, 0});
        }
        std::vector<int> used;
        for (const Item& item : items)
            if (std::find(used.begin(), used.end(), item.symbol) == used.end())
                used.push_back(item.symbol);
        std::sort(used.begin(), used.end());
        // n symbols under a complete code: 2^k - n of length k - 1, the rest k.
        const int n = static_cast<int>(used.size());
        int k = 0;
        while ((1 << k) < n)
            ++k;
        int shorter = (1 << k) - n;
        std::vector<int> clLengths(19, 0);
        for (int symbol : used)
            clLengths[static_cast<size_t>(symbol)] = shorter-- > 0 ? k - 1 : k;
        const std::vector<uint32_t> clCodes = CanonicalCodes(clLengths);

        size_t listed = kCodeLengthOrder.size();
        while (listed > 4 && clLengths[static_cast<size_t>(kCodeLengthOrder[listed - 1])] == 0)
            --listed;
        out.Put(static_cast<uint32_t>(literalLengths_.size() - 257), 5);
        out.Put(0, 5);  // one distance code
        out.Put(static_cast<uint32_t>(listed - 4), 4);
        for (size_t i = 0; i < listed; ++i)
            out.Put(static_cast<uint32_t>(clLengths[static_cast<size_t>(kCodeLengthOrder[i])]), 3);
        for (const Item& item : items) {
            const auto s = static_cast<size_t>(item.symbol);
            out.PutCode(clCodes[s], clLengths[s]);
            if (item.extraBits)
                out.Put(static_cast<uint32_t>(item.extra), item.extraBits);
        }
    }

    int value_;
    long long fullCopies_;
    int rest_;
    int restCode_ = -1;
    std::vector<int> literalLengths_;
    std::vector<uint32_t> literalCodes_;
};

}  // namespace

struct RowDeflater::Stream {
    z_stream z{};
    bool open = false;
    std::array<unsigned char, 65536> out{};
    ~Stream()
    {
        if (open)
            deflateEnd(&z);
    }
};

RowDeflater::RowDeflater(std::size_t rowBytes, Sink sink)
    : z_(std::make_unique<Stream>()),
      rowBytes_(rowBytes),
      sink_(std::move(sink)),
      runRow_(rowBytes)
{
    // Raw deflate: the zlib header and checksum are written here, since
    // part of the stream does not pass through zlib.
    z_->open =
        rowBytes_ > 0 && deflateInit2(&z_->z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    failed_ = !z_->open;
    static const unsigned char header[2] = {0x78, 0x9C};
    if (!failed_)
        Emit(header, sizeof header);
}

RowDeflater::~RowDeflater() = default;

bool RowDeflater::Emit(const unsigned char* data, std::size_t size)
{
    if (!failed_ && size > 0 && !sink_(data, size))
        failed_ = true;
    return !failed_;
}

bool RowDeflater::Deflate(const unsigned char* data, std::size_t size, int flush)
{
    z_stream& z = z_->z;
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    int result = Z_OK;
    do {
        z.next_out = z_->out.data();
        z.avail_out = static_cast<uInt>(z_->out.size());
        result = deflate(&z, flush);
        if (result == Z_STREAM_ERROR)
            failed_ = true;
        else
            Emit(z_->out.data(), z_->out.size() - z.avail_out);
    } while (!failed_ && z.avail_out == 0);
    return !failed_ && z.avail_in == 0 && (flush != Z_FINISH || result == Z_STREAM_END);
}

bool RowDeflater::Plain(const unsigned char* row)
{
    adler_ = static_cast<uint32_t>(adler32(adler_, row, static_cast<uInt>(rowBytes_)));
    return Deflate(row, rowBytes_, Z_NO_FLUSH);
}

bool RowDeflater::WriteRun()
{
    if (runRows_ == 0 || failed_)
        return !failed_;
    const long long rows = std::exchange(runRows_, 0);
    const uint32_t rowAdler = static_cast<uint32_t>(adler32(1, runRow_.data(), static_cast<uInt>(rowBytes_)));
    // A short run costs less inside zlib's block than in a block of its own.
    if (rows < kShortestRun) {
        for (long long i = 0; i < rows; ++i)
            if (!Plain(runRow_.data()))
                return false;
        return true;
    }
    if (!Deflate(nullptr, 0, Z_SYNC_FLUSH))
        return failed_ = true, false;
    const long long count = rows * static_cast<long long>(rowBytes_);
    BitWriter bits;
    RunBlock(runRow_[0], count).Write(bits);
    if (!Emit(bits.bytes().data(), bits.bytes().size()))
        return false;
    for (long long i = 0; i < rows; ++i)
        adler_ = static_cast<uint32_t>(adler32_combine(adler_, rowAdler, static_cast<z_off_t>(rowBytes_)));
    // zlib must see the bytes just written as the latest it could copy from.
    const std::vector<unsigned char> tail(static_cast<std::size_t>(std::min<long long>(count, kWindow)), runRow_[0]);
    if (deflateSetDictionary(&z_->z, tail.data(), static_cast<uInt>(tail.size())) != Z_OK)
        return failed_ = true, false;
    return true;
}

bool RowDeflater::AddRow(const unsigned char* row)
{
    if (failed_ || finished_)
        return false;
    // A row of one value that the last byte written already has continues a run.
    const bool continuesRun =
        havePrevious_ && row[0] == lastByte_ && (rowBytes_ == 1 || std::memcmp(row, row + 1, rowBytes_ - 1) == 0);
    if (continuesRun) {
        if (runRows_ == 0)
            std::memset(runRow_.data(), row[0], rowBytes_);
        ++runRows_;
        return true;
    }
    if (!WriteRun() || !Plain(row))
        return false;
    lastByte_ = row[rowBytes_ - 1];
    havePrevious_ = true;
    return true;
}

bool RowDeflater::Finish()
{
    if (failed_ || finished_)
        return false;
    finished_ = true;
    if (!WriteRun() || !Deflate(nullptr, 0, Z_FINISH))
        return false;
    const unsigned char trailer[4] = {static_cast<unsigned char>(adler_ >> 24),
                                      static_cast<unsigned char>(adler_ >> 16), static_cast<unsigned char>(adler_ >> 8),
                                      static_cast<unsigned char>(adler_)};
    return Emit(trailer, sizeof trailer);
}

}  // namespace zlk::filter
