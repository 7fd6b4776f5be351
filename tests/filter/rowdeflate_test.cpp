#include "filter/rowdeflate.h"

#include <gtest/gtest.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

using zlk::filter::RowDeflater;

namespace {

using Rows = std::vector<std::string>;

std::string Compress(std::size_t rowBytes, const Rows& rows)
{
    std::string out;
    RowDeflater deflater(rowBytes, [&](const unsigned char* data, std::size_t size) {
        out.append(reinterpret_cast<const char*>(data), size);
        return true;
    });
    for (const std::string& row : rows)
        EXPECT_TRUE(deflater.AddRow(reinterpret_cast<const unsigned char*>(row.data())));
    EXPECT_TRUE(deflater.Finish());
    return out;
}

// What a PDF reader makes of the stream: qpdf inflates it, and reports a
// damaged stream by throwing.
std::string DecodeAsPdfReaderWould(const std::string& stream)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf, stream);
    image.getDict().replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
    std::shared_ptr<Buffer> data = image.getStreamData(qpdf_dl_generalized);
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

// zlib's own check of the stream, checksum included.
std::string Inflate(const std::string& stream, std::size_t expected)
{
    std::string out(expected + 1, '\0');
    uLongf size = out.size();
    const int result = uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                                  reinterpret_cast<const Bytef*>(stream.data()), stream.size());
    EXPECT_EQ(result, Z_OK);
    out.resize(size);
    return out;
}

Rows MakeRows(std::size_t rowBytes, int count, const std::function<unsigned char(int, std::size_t)>& pixel)
{
    Rows rows;
    for (int y = 0; y < count; ++y) {
        std::string row(rowBytes, '\0');
        for (std::size_t x = 0; x < rowBytes; ++x)
            row[x] = static_cast<char>(pixel(y, x));
        rows.push_back(row);
    }
    return rows;
}

std::string Joined(const Rows& rows)
{
    std::string all;
    for (const std::string& row : rows)
        all += row;
    return all;
}

}  // namespace

TEST(RowDeflater, ReadersGetBackEveryRow)
{
    std::mt19937 random(7);
    std::vector<unsigned char> noise(1 << 20);
    for (unsigned char& b : noise)
        b = static_cast<unsigned char>(random());
    struct Case {
        const char* name;
        int colors;
        std::size_t columns;
        int rows;
        std::function<unsigned char(int, std::size_t)> pixel;
    };
    const auto white = [](int, std::size_t) -> unsigned char { return 0xFF; };
    // Runs of one value start at the second row; a run's length in bytes
    // decides how its last copy is coded.
    const std::vector<Case> cases = {
        {"one white pixel", 3, 1, 1, white},
        {"a white column", 3, 1, 50, white},
        {"runs a whole number of copies long", 1, 258, 5, white},
        {"runs one or two bytes past a copy", 1, 259, 3, white},
        {"runs two bytes past a copy", 1, 130, 5, white},
        {"runs shorter than a copy", 3, 20, 9, white},
        {"a letter page of white", 3, 2550, 40, white},
        {"black, then white", 3, 400, 30, [](int y, std::size_t) -> unsigned char { return y < 15 ? 0 : 0xFF; }},
        {"short runs between changes", 3, 50, 40,
         [](int y, std::size_t) -> unsigned char { return static_cast<unsigned char>(y / 3 * 40); }},
        {"noise", 3, 97, 30,
         [&](int y, std::size_t x) { return noise[(static_cast<size_t>(y) * 291 + x) % noise.size()]; }},
        // A row ending in white before white rows: the run continues it.
        {"lines between white", 3, 300, 200,
         [](int y, std::size_t x) -> unsigned char {
             return (y / 10) % 3 == 1 && x < 600 ? static_cast<unsigned char>(x * 7 + static_cast<size_t>(y)) : 0xFF;
         }},
        // A row ending in another value: the white row after it is no run.
        {"lines ending in black", 3, 90, 60,
         [](int y, std::size_t x) -> unsigned char { return y % 7 == 0 && x > 200 ? 0 : 0xFF; }},
        {"a rule down white rows", 3, 120, 60,
         [](int, std::size_t x) -> unsigned char { return x / 3 == 40 ? 0 : 0xFF; }},
        // After a run longer than zlib's window the later rows copy from
        // earlier ones again: each copy must reach the right bytes.
        {"runs past the window, then earlier rows again", 3, 700, 300,
         [&](int y, std::size_t x) -> unsigned char {
             const int band = y / 50;
             return band % 2 ? 0xFF : noise[(static_cast<size_t>(band % 4) * 2100 + x) % noise.size()];
         }},
        {"a run at the end", 3, 64, 30,
         [](int y, std::size_t x) -> unsigned char { return y < 5 ? static_cast<unsigned char>(x) : 0x80; }},
    };
    for (const Case& c : cases) {
        const std::size_t rowBytes = c.columns * static_cast<std::size_t>(c.colors);
        const Rows rows = MakeRows(rowBytes, c.rows, c.pixel);
        const std::string stream = Compress(rowBytes, rows);
        EXPECT_TRUE(Inflate(stream, rowBytes * rows.size()) == Joined(rows)) << c.name;
        std::string decoded;
        ASSERT_NO_THROW(decoded = DecodeAsPdfReaderWould(stream)) << c.name;
        EXPECT_TRUE(decoded == Joined(rows)) << c.name;
    }
}

TEST(RowDeflater, AnImageWithoutRowsIsAnEmptyStream)
{
    const std::string stream = Compress(30, {});
    EXPECT_EQ(Inflate(stream, 0), "");
}

// The shortcut for runs of one colour must not cost size: a page of lines
// between white compresses within 2% of zlib's default level on the whole
// image (each run's block costs a few dozen bytes of codes).
TEST(RowDeflater, RepeatedRowsCostNoMoreThanZlibsDefault)
{
    const std::size_t rowBytes = 2550 * 3;
    const Rows rows = MakeRows(rowBytes, 3300, [](int y, std::size_t x) -> unsigned char {
        const bool inLine = y % 50 < 30 && y > 300 && y < 3000;
        return inLine && x > 900 && x < 6900 && (x * 13 + static_cast<size_t>(y) * 7) % 11 < 4
                   ? static_cast<unsigned char>(x * 31 + static_cast<size_t>(y))
                   : 0xFF;
    });
    const std::string ours = Compress(rowBytes, rows);
    const std::string all = Joined(rows);
    std::string plain(compressBound(all.size()), '\0');
    uLongf plainSize = plain.size();
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(plain.data()), &plainSize, reinterpret_cast<const Bytef*>(all.data()),
                        all.size(), Z_DEFAULT_COMPRESSION),
              Z_OK);
    EXPECT_LE(ours.size(), plainSize + plainSize / 50);
    EXPECT_EQ(DecodeAsPdfReaderWould(ours).size(), all.size());
}

TEST(RowDeflater, ASinkThatFailsStopsTheEncoder)
{
    RowDeflater deflater(9, [](const unsigned char*, std::size_t) { return false; });
    const unsigned char row[9] = {};
    EXPECT_FALSE(deflater.AddRow(row) && deflater.Finish());
}
