// Encoding of a rendered page for the printer: the image is cut into
// strips of whole rows, each as small as it can be made without changing a
// pixel. Rows of at most 256 colours become a palette image (1, 2, 4 or 8
// bits an index, on DeviceRGB); richer rows stay RGB, those rich on their
// own (photographs) each filtered with the PNG predictor that suits it.
// Anti-aliased text and drawings nearly always fit a palette, which takes
// a third of the bytes or less; the white of the page then costs a third
// as much too.
//
// A renderer sends the strips to the filter as messages on a pipe:
// kData messages carry a strip's zlib stream, a kStrip message ends the
// strip (StripInfo and the palette), kPageEnd ends the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zlk::filter {

class RowDeflater;

namespace raster {

enum MessageTag : uint32_t { kData = 1, kStrip = 2, kPageEnd = 3 };

struct MessageHead {
    uint32_t tag = 0;
    uint32_t length = 0;  // bytes of payload that follow
};

// The /Predictor of rows filtered as PNG does, one filter a row.
inline constexpr uint32_t kPngPredictors = 15;

// Payload of kStrip, followed by 3 * colours palette bytes (R, G, B).
struct StripInfo {
    uint32_t firstRow = 0;
    uint32_t rows = 0;
    uint32_t colours = 0;  // palette entries; 0: RGB rows
    uint32_t bits = 8;  // bits per sample (per index for a palette)
    uint32_t predictor = 0;  // kPngPredictors or 0 (RGB rows as they are)
};

inline constexpr uint32_t kMaxColours = 256;

}  // namespace raster

class StripEncoder {
public:
    // Receives each message whole; false stops the encoder.
    using Sink = std::function<bool(const unsigned char* data, std::size_t size)>;

    // splitRows: whether the page may be cut into several strips. Only
    // where every row edge falls on a device pixel at 300 dpi do strips
    // print as one image would; otherwise the page stays one image, a
    // palette one when the whole page fits.
    StripEncoder(int width, int height, bool splitRows, Sink sink);
    ~StripEncoder();
    StripEncoder(const StripEncoder&) = delete;
    StripEncoder& operator=(const StripEncoder&) = delete;

    // One row of width RGB pixels. Answers false once the sink failed.
    bool AddRow(const unsigned char* rgb);
    // Ends the last strip and the page.
    bool Finish();

private:
    bool MapRow(const unsigned char* rgb);
    void ForgetColoursFrom(std::size_t count);
    bool CloseIndexed();
    bool StartRgb(uint32_t firstRow, bool predict);
    bool AddRgbRow(const unsigned char* rgb);
    bool ReplayAsRgb();
    bool CloseRgb();
    bool SendStrip(uint32_t firstRow, uint32_t rows, bool palette, uint32_t bits, bool predicted);
    bool Send(raster::MessageTag tag, const void* data, std::size_t size);

    const std::size_t width_;
    const uint32_t height_;
    const bool splitRows_;
    Sink sink_;
    bool failed_ = false;
    uint32_t row_ = 0;  // rows given so far

    // The palette strip being gathered (or, in an RGB strip, the rows that
    // may start one): its colours and its rows as indices.
    std::vector<uint32_t> palette_;
    std::vector<uint16_t> slots_;  // open-addressing table: colour -> index + 1
    std::unique_ptr<uint8_t[]> indices_;
    std::vector<unsigned char> previousMapped_;  // the last row gathered
    uint32_t indexFirstRow_ = 0;
    std::size_t indexRows_ = 0;

    // The RGB strip being written, if any.
    std::unique_ptr<RowDeflater> rgb_;
    bool predict_ = false;
    uint32_t rgbFirstRow_ = 0;
    uint32_t rgbRows_ = 0;
    std::vector<unsigned char> previous_, replayed_;
    std::vector<unsigned char> candidates_[5];  // Sub, Up, Average, Paeth, the row chosen
};

}  // namespace zlk::filter
