#include "filter/rasterstrips.h"

#include "filter/rowdeflate.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace zlk::filter {

namespace {

constexpr std::size_t kSlots = 1024;  // open addressing, at most a quarter full
// Rows that fit a palette inside an RGB strip start a palette strip only
// when this many follow one another: each strip costs an image of its own.
constexpr std::size_t kMinPaletteRows = 32;

std::size_t SlotOf(uint32_t colour) { return (colour * 2654435761u) >> 22; }

int Distance(int value) { return std::abs(static_cast<int>(static_cast<int8_t>(value))); }

int Paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

uint32_t BitsFor(std::size_t colours) { return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8; }

static_assert(std::endian::native == std::endian::little, "RepeatsFrom reads the first differing byte as the lowest");

// Pixels from `from` on that repeat the pixel before them, found eight
// bytes at a time: a rendered page is mostly runs of one colour.
std::size_t RepeatsFrom(const unsigned char* rgb, std::size_t from, std::size_t width)
{
    std::size_t at = 3 * from;
    const std::size_t end = 3 * width;
    while (at + 8 <= end) {
        uint64_t here, before;
        std::memcpy(&here, rgb + at, 8);
        std::memcpy(&before, rgb + at - 3, 8);
        if (here != before)
            return (at + static_cast<std::size_t>(__builtin_ctzll(here ^ before)) / 8) / 3 - from;
        at += 8;
    }
    while (at < end && rgb[at] == rgb[at - 3])
        ++at;
    return at / 3 - from;
}

// Whether the row alone has more colours than a palette holds.
bool RichRow(const unsigned char* rgb, std::size_t width)
{
    std::vector<uint32_t> seen(kSlots, 0);  // colour + 1
    std::size_t colours = 0;
    for (std::size_t x = 0; x < width;) {
        const unsigned char* pixel = rgb + 3 * x;
        const uint32_t colour = uint32_t{pixel[0]} << 16 | uint32_t{pixel[1]} << 8 | pixel[2];
        std::size_t slot = SlotOf(colour);
        while (seen[slot] && seen[slot] != colour + 1)
            slot = (slot + 1) % kSlots;
        if (!seen[slot]) {
            if (++colours > raster::kMaxColours)
                return true;
            seen[slot] = colour + 1;
        }
        x += 1 + (x + 1 < width ? RepeatsFrom(rgb, x + 1, width) : 0);
    }
    return false;
}

long SumOfDistances(const unsigned char* bytes, std::size_t count)
{
    long sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += Distance(bytes[i]);
    return sum;
}

}  // namespace

StripEncoder::StripEncoder(int width, int height, bool splitRows, Sink sink)
    : width_(static_cast<std::size_t>(std::max(width, 0))),
      height_(static_cast<uint32_t>(std::max(height, 0))),
      splitRows_(splitRows),
      sink_(std::move(sink)),
      slots_(kSlots, 0)
{
    // The whole page may end up gathered as indices: made once, so the
    // buffer is never copied; only the rows written are ever touched.
    indices_ = std::make_unique_for_overwrite<uint8_t[]>(width_ * height_);
    previousMapped_.resize(width_ * 3);
    palette_.reserve(raster::kMaxColours);
}

StripEncoder::~StripEncoder() = default;

bool StripEncoder::Send(raster::MessageTag tag, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    do {
        const std::size_t part = std::min<std::size_t>(size, std::numeric_limits<uint32_t>::max());
        const raster::MessageHead head{tag, static_cast<uint32_t>(part)};
        if (failed_ || !sink_(reinterpret_cast<const unsigned char*>(&head), sizeof head) ||
            (part > 0 && !sink_(bytes, part)))
            failed_ = true;
        bytes += part;
        size -= part;
    } while (size > 0 && !failed_);
    return !failed_;
}

bool StripEncoder::SendStrip(uint32_t firstRow, uint32_t rows, bool palette, uint32_t bits, bool predicted)
{
    const raster::StripInfo info{firstRow, rows, palette ? static_cast<uint32_t>(palette_.size()) : 0, bits,
                                 predicted ? raster::kPngPredictors : 0u};
    std::vector<unsigned char> payload(sizeof info);
    std::memcpy(payload.data(), &info, sizeof info);
    if (palette)
        for (uint32_t colour : palette_)
            payload.insert(payload.end(),
                           {static_cast<unsigned char>(colour >> 16), static_cast<unsigned char>(colour >> 8),
                            static_cast<unsigned char>(colour)});
    return Send(raster::kStrip, payload.data(), payload.size());
}

// Appends the row's indices, adding its new colours to the palette; false,
// with nothing added, when they would not fit.
bool StripEncoder::MapRow(const unsigned char* rgb)
{
    uint8_t* out = indices_.get() + indexRows_ * width_;
    // A row like the one before (most of a page) takes its indices.
    if (indexRows_ > 0 && std::memcmp(rgb, previousMapped_.data(), width_ * 3) == 0) {
        std::memcpy(out, out - width_, width_);
        ++indexRows_;
        return true;
    }
    const std::size_t known = palette_.size();
    for (std::size_t x = 0; x < width_;) {
        const unsigned char* pixel = rgb + 3 * x;
        const uint32_t colour = uint32_t{pixel[0]} << 16 | uint32_t{pixel[1]} << 8 | pixel[2];
        std::size_t slot = SlotOf(colour);
        while (slots_[slot] && palette_[slots_[slot] - 1u] != colour)
            slot = (slot + 1) % kSlots;
        if (!slots_[slot]) {
            if (palette_.size() == raster::kMaxColours) {
                ForgetColoursFrom(known);
                return false;
            }
            palette_.push_back(colour);
            slots_[slot] = static_cast<uint16_t>(palette_.size());
        }
        const std::size_t run = 1 + (x + 1 < width_ ? RepeatsFrom(rgb, x + 1, width_) : 0);
        std::memset(out + x, slots_[slot] - 1, run);
        x += run;
    }
    std::memcpy(previousMapped_.data(), rgb, width_ * 3);
    ++indexRows_;
    return true;
}

void StripEncoder::ForgetColoursFrom(std::size_t count)
{
    palette_.resize(count);
    std::fill(slots_.begin(), slots_.end(), 0);
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        std::size_t slot = SlotOf(palette_[i]);
        while (slots_[slot])
            slot = (slot + 1) % kSlots;
        slots_[slot] = static_cast<uint16_t>(i + 1);
    }
}

bool StripEncoder::CloseIndexed()
{
    if (indexRows_ == 0)
        return !failed_;
    const uint32_t bits = BitsFor(palette_.size());
    const std::size_t perByte = 8 / bits, rowBytes = (width_ + perByte - 1) / perByte;
    RowDeflater deflater(
        rowBytes, [this](const unsigned char* data, std::size_t size) { return Send(raster::kData, data, size); });
    std::vector<unsigned char> packed(rowBytes);
    for (std::size_t r = 0; r < indexRows_; ++r) {
        const uint8_t* row = indices_.get() + r * width_;
        if (bits == 8) {
            std::memcpy(packed.data(), row, width_);
        } else if (r == 0 || std::memcmp(row, row - width_, width_) != 0) {
            // The bits past the last pixel repeat it, so a row of one colour
            // stays a row of one byte value.
            for (std::size_t b = 0; b < rowBytes; ++b) {
                const uint8_t* pixels = row + b * perByte;
                unsigned value = 0;
                if (b + 1 < rowBytes || width_ % perByte == 0) {
                    for (std::size_t k = 0; k < perByte; ++k)
                        value = value << bits | pixels[k];
                } else {
                    for (std::size_t k = 0; k < perByte; ++k)
                        value = value << bits | row[std::min(b * perByte + k, width_ - 1)];
                }
                packed[b] = static_cast<unsigned char>(value);
            }
        }
        if (!deflater.AddRow(packed.data()))
            return failed_ = true, false;
    }
    if (!deflater.Finish() || !SendStrip(indexFirstRow_, static_cast<uint32_t>(indexRows_), true, bits, false))
        return failed_ = true, false;
    indexRows_ = 0;
    ForgetColoursFrom(0);
    return true;
}

bool StripEncoder::StartRgb(uint32_t firstRow, bool predict)
{
    const std::size_t rowBytes = width_ * 3;
    rgb_ = std::make_unique<RowDeflater>(
        rowBytes + (predict ? 1 : 0),
        [this](const unsigned char* data, std::size_t size) { return Send(raster::kData, data, size); });
    predict_ = predict;
    rgbFirstRow_ = firstRow;
    rgbRows_ = 0;
    previous_.assign(rowBytes, 0);
    for (std::vector<unsigned char>& candidate : candidates_)
        candidate.resize(rowBytes + 1);
    return !failed_;
}

// Filters the row with the PNG predictor whose output has the smallest sum
// of absolute differences (as signed bytes), the usual choice.
bool StripEncoder::AddRgbRow(const unsigned char* rgb)
{
    ++rgbRows_;
    if (!predict_) {
        if (!rgb_->AddRow(rgb))
            failed_ = true;
        return !failed_;
    }
    const std::size_t n = width_ * 3;
    const unsigned char* up = previous_.data();
    unsigned char* sub = candidates_[0].data() + 1;
    unsigned char* above = candidates_[1].data() + 1;
    unsigned char* average = candidates_[2].data() + 1;
    unsigned char* paeth = candidates_[3].data() + 1;
    for (std::size_t i = 0; i < n; ++i) {
        const int x = rgb[i], a = i >= 3 ? rgb[i - 3] : 0, b = up[i], c = i >= 3 ? up[i - 3] : 0;
        sub[i] = static_cast<unsigned char>(x - a);
        above[i] = static_cast<unsigned char>(x - b);
        average[i] = static_cast<unsigned char>(x - (a + b) / 2);
        paeth[i] = static_cast<unsigned char>(x - Paeth(a, b, c));
    }
    long best = SumOfDistances(rgb, n);
    const unsigned char* chosen = rgb;
    int type = 0;
    for (int k = 0; k < 4; ++k) {
        const long sum = SumOfDistances(candidates_[static_cast<std::size_t>(k)].data() + 1, n);
        if (sum < best) {
            best = sum;
            type = k + 1;
            chosen = candidates_[static_cast<std::size_t>(k)].data() + 1;
        }
    }
    std::memcpy(previous_.data(), rgb, n);
    unsigned char* row = candidates_[4].data();
    row[0] = static_cast<unsigned char>(type);
    std::memcpy(row + 1, chosen, n);
    if (!rgb_->AddRow(row))
        failed_ = true;
    return !failed_;
}

// The rows gathered as indices go into the RGB strip after all.
bool StripEncoder::ReplayAsRgb()
{
    replayed_.resize(width_ * 3);
    for (std::size_t r = 0; r < indexRows_ && !failed_; ++r) {
        const uint8_t* row = indices_.get() + r * width_;
        for (std::size_t x = 0; x < width_; ++x) {
            const uint32_t colour = palette_[row[x]];
            replayed_[3 * x] = static_cast<unsigned char>(colour >> 16);
            replayed_[3 * x + 1] = static_cast<unsigned char>(colour >> 8);
            replayed_[3 * x + 2] = static_cast<unsigned char>(colour);
        }
        AddRgbRow(replayed_.data());
    }
    indexRows_ = 0;
    ForgetColoursFrom(0);
    return !failed_;
}

bool StripEncoder::CloseRgb()
{
    if (!rgb_)
        return !failed_;
    if (!rgb_->Finish() || !SendStrip(rgbFirstRow_, rgbRows_, false, 8, predict_))
        failed_ = true;
    rgb_.reset();
    return !failed_;
}

bool StripEncoder::AddRow(const unsigned char* rgb)
{
    if (failed_ || row_ >= height_ || width_ == 0)
        return false;
    const uint32_t y = row_++;
    if (indexRows_ == 0)
        indexFirstRow_ = y;
    if (!rgb_) {
        // Gathering a palette strip.
        if (MapRow(rgb))
            return true;
        // Predictors pay where rows are rich in colours of their own
        // (photographs); on the white of a page and the grey edges of text
        // each row's filter byte costs more than they save.
        if (!splitRows_)
            return StartRgb(indexFirstRow_, RichRow(rgb, width_)) && ReplayAsRgb() && AddRgbRow(rgb);
        if (!CloseIndexed())
            return false;
        indexFirstRow_ = y;
        return MapRow(rgb) || (StartRgb(y, true) && AddRgbRow(rgb));
    }
    if (splitRows_) {
        // In an RGB strip, rows that fit a palette are held back until
        // there are enough of them for a palette strip of their own.
        if (MapRow(rgb))
            return indexRows_ < kMinPaletteRows || CloseRgb();
        if (!ReplayAsRgb())
            return false;
    }
    return AddRgbRow(rgb);
}

bool StripEncoder::Finish()
{
    if (failed_ || row_ != height_ || width_ == 0)
        return false;
    if (rgb_ ? !ReplayAsRgb() || !CloseRgb() : !CloseIndexed())
        return false;
    return Send(raster::kPageEnd, nullptr, 0);
}

}  // namespace zlk::filter
