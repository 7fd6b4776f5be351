#include "filter/rasterstrips.h"

#include <gtest/gtest.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace zlk::filter;

namespace {

struct Strip {
    raster::StripInfo info;
    std::string palette;
    std::string data;
};

// Reads the renderer's messages back into strips; fails the test on
// anything out of place.
std::vector<Strip> ReadMessages(const std::string& bytes)
{
    std::vector<Strip> strips;
    Strip strip;
    for (size_t at = 0; at < bytes.size();) {
        raster::MessageHead head;
        EXPECT_LE(at + sizeof head, bytes.size());
        std::memcpy(&head, bytes.data() + at, sizeof head);
        at += sizeof head;
        const std::string payload = bytes.substr(at, head.length);
        at += head.length;
        if (head.tag == raster::kData) {
            strip.data += payload;
        } else if (head.tag == raster::kStrip) {
            std::memcpy(&strip.info, payload.data(), sizeof strip.info);
            strip.palette = payload.substr(sizeof strip.info);
            strips.push_back(strip);
            strip = Strip();
        } else {
            EXPECT_EQ(head.tag, raster::kPageEnd);
            EXPECT_EQ(at, bytes.size());
        }
    }
    return strips;
}

// The strip's rows as a PDF reader decodes them (qpdf: inflate, PNG
// predictors), palette indices looked up.
std::string DecodeStrip(const Strip& strip, int width)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, strip.data);
    stream.getDict().replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
    if (strip.info.predictor)
        stream.getDict().replaceKey("/DecodeParms",
                                    QPDFObjectHandle::parse("<< /Predictor 15 /Colors 3 /BitsPerComponent 8 /Columns " +
                                                            std::to_string(width) + " >>"));
    std::shared_ptr<Buffer> buffer = stream.getStreamData(qpdf_dl_generalized);
    const std::string decoded(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    if (strip.info.colours == 0)
        return decoded;
    const size_t bits = strip.info.bits, rowBytes = (static_cast<size_t>(width) * bits + 7) / 8;
    EXPECT_EQ(decoded.size(), rowBytes * strip.info.rows);
    std::string rgb;
    for (size_t row = 0; row < strip.info.rows; ++row)
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            const size_t bit = x * bits;
            const auto byte = static_cast<unsigned char>(decoded[row * rowBytes + bit / 8]);
            const size_t index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            EXPECT_LT(index, strip.info.colours);
            rgb += strip.palette.substr(3 * index, 3);
        }
    return rgb;
}

using Pixel = std::function<uint32_t(int x, int y)>;

}  // namespace

// Every image comes back pixel for pixel, cut into the strips that suit its
// rows: palette strips as narrow as their colours allow, RGB where a row has
// more colours than a palette holds (with predictors where rows are rich on
// their own), and one image where strips may not be cut.
TEST(StripEncoder, KeepsEveryPixelInTheStripsThatSuitIt)
{
    const Pixel white = [](int, int) -> uint32_t { return 0xFFFFFF; };
    // Anti-aliased text: every grey, black and white on one row.
    const Pixel greys = [](int x, int y) -> uint32_t { return ((x + y) % 256) * 0x010101u; };
    const Pixel noise = [](int x, int y) -> uint32_t { return static_cast<uint32_t>(x * 2654435761u ^ y * 40503u); };
    struct Case {
        const char* name;
        int width, height;
        bool split;
        Pixel pixel;
        std::vector<std::pair<uint32_t, uint32_t>> strips;  // rows and bits (kRgb, kPredicted: RGB)
    };
    constexpr uint32_t kRgb = 24, kPredicted = raster::kPngPredictors;
    const std::vector<Case> cases = {
        {"white page", 37, 20, true, white, {{20, 1}}},
        {"four colours", 30, 9, true, [](int x, int) -> uint32_t { return x % 4 * 0x400000u; }, {{9, 2}}},
        {"sixteen greys", 33, 7, true, [](int x, int y) -> uint32_t { return (x + y) % 16 * 0x111111u; }, {{7, 4}}},
        {"text", 300, 12, true, greys, {{12, 8}}},
        {"text, then a colour",
         300,
         12,
         true,
         [&](int x, int y) -> uint32_t { return y >= 5 && x >= 200 ? 0x3366CC : greys(x, y); },
         {{5, 8}, {7, 8}}},
        {"text, then a colour, one image",
         300,
         12,
         false,
         [&](int x, int y) -> uint32_t { return y >= 5 && x >= 200 ? 0x3366CC : greys(x, y); },
         {{12, kRgb}}},
        {"a photograph", 400, 10, true, noise, {{10, kPredicted}}},
        {"a photograph, one image", 400, 10, false, noise, {{10, kPredicted}}},
        // Rows that fit a palette inside a photograph stay RGB unless there
        // are enough of them to be worth an image of their own.
        {"a photograph with a few white rows",
         400,
         50,
         true,
         [&](int x, int y) { return y >= 20 && y < 30 ? 0xFFFFFFu : noise(x, y); },
         {{50, kPredicted}}},
        {"text, a photograph, text",
         400,
         150,
         true,
         [&](int x, int y) { return y >= 40 && y < 80 ? noise(x, y) : greys(x, y); },
         {{40, 8}, {40, kPredicted}, {70, 8}}},
        {"a photograph at the top, white below",
         400,
         60,
         true,
         [&](int x, int y) { return y < 10 ? noise(x, y) : 0xFFFFFFu; },
         {{10, kPredicted}, {50, 1}}},
    };
    for (const Case& c : cases) {
        std::string image, messages;
        StripEncoder encoder(c.width, c.height, c.split, [&](const unsigned char* data, size_t size) {
            messages.append(reinterpret_cast<const char*>(data), size);
            return true;
        });
        std::string row;
        for (int y = 0; y < c.height; ++y) {
            row.clear();
            for (int x = 0; x < c.width; ++x) {
                const uint32_t colour = c.pixel(x, y) & 0xFFFFFF;
                row += {static_cast<char>(colour >> 16), static_cast<char>(colour >> 8), static_cast<char>(colour)};
            }
            image += row;
            ASSERT_TRUE(encoder.AddRow(reinterpret_cast<const unsigned char*>(row.data()))) << c.name;
        }
        ASSERT_TRUE(encoder.Finish()) << c.name;

        const std::vector<Strip> strips = ReadMessages(messages);
        std::vector<std::pair<uint32_t, uint32_t>> layout;
        std::string decoded;
        uint32_t next = 0;
        for (const Strip& strip : strips) {
            EXPECT_EQ(strip.info.firstRow, next) << c.name;
            next += strip.info.rows;
            layout.emplace_back(strip.info.rows, strip.info.colours     ? strip.info.bits
                                                 : strip.info.predictor ? kPredicted
                                                                        : kRgb);
            decoded += DecodeStrip(strip, c.width);
        }
        EXPECT_EQ(layout, c.strips) << c.name;
        EXPECT_TRUE(decoded == image) << c.name;
    }
}

TEST(StripEncoder, ASinkThatFailsOrRowsMissingFailThePage)
{
    const std::string row(30, '\x7f');
    StripEncoder failing(10, 1, true, [](const unsigned char*, size_t) { return false; });
    EXPECT_FALSE(failing.AddRow(reinterpret_cast<const unsigned char*>(row.data())) && failing.Finish());
    StripEncoder shortOfRows(10, 2, true, [](const unsigned char*, size_t) { return true; });
    EXPECT_TRUE(shortOfRows.AddRow(reinterpret_cast<const unsigned char*>(row.data())));
    EXPECT_FALSE(shortOfRows.Finish());
}
