// Compresses an image row by row into a zlib stream (the data of an image
// XObject with /FlateDecode).
//
// A rendered page is mostly rows of one colour (margins, the space between
// lines). Such rows, when they continue the byte before them, are written
// directly as deflate copies of the byte before, without zlib reading them;
// every other row goes through zlib at its default level. The output is no
// larger than zlib's on the whole image, at a small part of the time, and
// depends only on the rows given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zlk::filter {

class RowDeflater {
public:
    // Receives compressed bytes as they are made; false stops the encoder.
    using Sink = std::function<bool(const unsigned char* data, std::size_t size)>;

    // rowBytes: the bytes of one row, width times components.
    RowDeflater(std::size_t rowBytes, Sink sink);
    ~RowDeflater();
    RowDeflater(const RowDeflater&) = delete;
    RowDeflater& operator=(const RowDeflater&) = delete;

    // Each answers false once zlib or the sink failed; the stream is then
    // unusable.
    bool AddRow(const unsigned char* row);
    // Ends the stream (also when no row was added: an empty image).
    bool Finish();

private:
    bool Deflate(const unsigned char* data, std::size_t size, int flush);
    bool Plain(const unsigned char* row);
    bool WriteRun();
    bool Emit(const unsigned char* data, std::size_t size);

    struct Stream;
    std::unique_ptr<Stream> z_;
    std::size_t rowBytes_;
    Sink sink_;
    std::vector<unsigned char> runRow_;  // one row of the run's value
    long long runRows_ = 0;  // rows of the run not yet written
    unsigned char lastByte_ = 0;  // the last byte given to zlib
    bool havePrevious_ = false;
    bool failed_ = false;
    bool finished_ = false;
    uint32_t adler_ = 1;  // of all rows given
};

}  // namespace zlk::filter
