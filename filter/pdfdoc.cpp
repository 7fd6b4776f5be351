#include "filter/pdfdoc.h"

#include "common/fd.h"
#include "filter/embeddedmodule.h"
#include "filter/options.h"
#include "filter/output.h"
#include "filter/rastermodule.h"
#include "filter/rasterstrips.h"
#include "filter/signals.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// Read by the leak checker of sanitizer builds: fontconfig, which the page
// renderer loads, keeps part of its configuration until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

// The renderer module's file, carried as data (rasterembed.cpp).
extern "C" const unsigned char zlk_raster_module_begin[], zlk_raster_module_end[];

namespace zlk::filter {

namespace {

constexpr double kRasterDpi = 300.0;
constexpr const char* kCopiesKey = "com.apple.print.PrintSettings.PMCopies..n.";
constexpr const char* kTotalSidesKey = "com.apple.print.PrintSettings.PMTotalSidesImaged..n.";

long gRasterPagesRendered = 0;

// Option values are decimal text; anything unreadable counts as 0 and
// out-of-range values are clamped rather than overflowing.
int32_t ParseInt(const char* text)
{
    if (!text)
        return 0;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (end == text)
        return 0;
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

bool OptionIs(const char* name, const char* value, int numOptions, cups_option_t* options)
{
    const char* found = cupsGetOption(name, numOptions, options);
    return found && std::strcmp(found, value) == 0;
}

std::string PrefixedName(const PDFDocInfo& info, const char* name) { return std::string(info.keywordPrefix) + name; }

int EffectiveRotation(int32_t rotation) { return ((rotation % 360) + 360) % 360; }

// Numbers for content streams and arrays: PDF has no exponent notation.
std::string Num(double value)
{
    if (value == 0 || !std::isfinite(value))
        return "0";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec != std::errc())
        return "0";
    std::string text(buffer, end);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

bool ReadRect(QPDFObjectHandle box, PageRect& rect)
{
    if (!box.isRectangle())
        return false;
    QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    // Sizes no double holds are no box at all.
    if (!std::isfinite(r.urx - r.llx) || !std::isfinite(r.ury - r.lly))
        return false;
    rect.x = std::min(r.llx, r.urx);
    rect.y = std::min(r.lly, r.ury);
    rect.width = std::fabs(r.urx - r.llx);
    rect.height = std::fabs(r.ury - r.lly);
    return true;
}

QPDFObjectHandle RectArray(const PageRect& rect)
{
    return QPDFObjectHandle::parse("[" + Num(rect.x) + " " + Num(rect.y) + " " + Num(rect.x + rect.width) + " " +
                                   Num(rect.y + rect.height) + "]");
}

// A page without a usable media box is shown on Letter paper by renderers.
PageRect MediaBoxOf(QPDFPageObjectHelper& page)
{
    PageRect rect{0, 0, 612, 792};
    ReadRect(page.getAttribute("/MediaBox", false), rect);
    return rect;
}

// What a renderer shows: the crop box clipped to the media box.
PageRect VisibleBoxOf(QPDFPageObjectHelper& page)
{
    PageRect media = MediaBoxOf(page);
    PageRect crop;
    if (!ReadRect(page.getAttribute("/CropBox", false), crop))
        return media;
    double x1 = std::max(media.x, crop.x);
    double y1 = std::max(media.y, crop.y);
    double x2 = std::min(media.x + media.width, crop.x + crop.width);
    double y2 = std::min(media.y + media.height, crop.y + crop.height);
    if (x2 <= x1 || y2 <= y1)
        return media;
    return PageRect{x1, y1, x2 - x1, y2 - y1};
}

// The page's own /Rotate as a multiple of 90 in 0..270; other values are
// invalid and renderers ignore them.
int PageRotation(QPDFPageObjectHelper& page)
{
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    if (!rotate.isInteger())
        return 0;
    long long value = rotate.getIntValue() % 360;
    if (value < 0)
        value += 360;
    return value % 90 == 0 ? static_cast<int>(value) : 0;
}

// Calls visit for each page to re-render, in order. -1 when a page number
// is missing or the job was cancelled; 0 otherwise (also with no pages).
int ForEachChosenPage(PDFDocInfo& info, const std::function<void(int, QPDFPageObjectHelper&)>& visit)
{
    if (info.lastPage <= 0)
        return 0;
    if (!info.document || info.pageStep <= 0)
        return -1;
    QPDFPageDocumentHelper source(*info.document);
    // Copied pages must carry what they inherit from the page tree.
    source.pushInheritedAttributesToPage();
    std::vector<QPDFPageObjectHelper> pages = source.getAllPages();
    for (long long number = 1; number <= info.lastPage; number += info.pageStep) {
        if (CancelJob)
            return -1;
        if (number > static_cast<long long>(pages.size()))
            return -1;
        visit(static_cast<int>(number), pages[static_cast<size_t>(number - 1)]);
    }
    return 0;
}

// A page's bitmap at most this many pixels (about 70 MB of RGB): every
// paper size the printers take fits at 300 dpi, a larger page is rendered
// at a lower resolution. The renderer works in bands of a few megabytes, so
// its memory stays bounded whatever the page; the pixel budget bounds the
// time a page takes.
constexpr double kMaxRasterPixels = 24e6;
// Neither side longer than this, whatever the other.
constexpr double kMaxRasterSide = 32768;

// The bitmap size of a page (in points) at 300 dpi, or at the highest
// resolution below that fits the budget; dpi is the resolution chosen.
struct RasterSize {
    int width = 0;
    int height = 0;
    double dpi = 0;
};

std::optional<RasterSize> RasterSizeOf(const PageRect& box)
{
    const double width = box.width * kRasterDpi / 72, height = box.height * kRasterDpi / 72;
    // Below a pixel, or beyond what a double holds, no image can show the page.
    if (!(width >= 1 && height >= 1) || !std::isfinite(width) || !std::isfinite(height))
        return std::nullopt;
    const double scale =
        std::min({1.0, std::sqrt(kMaxRasterPixels / width / height), kMaxRasterSide / width, kMaxRasterSide / height});
    // A page so large that no resolution above zero fits.
    if (!(scale > 0))
        return std::nullopt;
    RasterSize size;
    size.width = static_cast<int>(std::clamp(std::floor(width * scale), 1.0, kMaxRasterSide));
    size.height = static_cast<int>(std::clamp(std::floor(height * scale), 1.0, kMaxRasterSide));
    size.dpi = kRasterDpi * scale;
    return size;
}

// How far inside its exact place an image on the pixel grid is drawn, in
// points: far below a device pixel at any resolution.
constexpr double kImageInset = 1.0 / 1024;

// Whether the page's image has a pixel for each device pixel at 300 dpi, so
// that its strips print exactly as the whole image would.
bool OnPixelGrid(const PageRect& box, const RasterSize& size)
{
    return size.dpi == kRasterDpi && std::fabs(box.width * kRasterDpi / 72 - size.width) < 1e-6 &&
           std::fabs(box.height * kRasterDpi / 72 - size.height) < 1e-6;
}

// The renderer module (embedded by rasterembed.cpp), loaded the first time a
// page is rasterised. Null, with a warning, when it cannot be loaded.
const ZLKRasterRendererTable* LoadRasterRenderer()
{
    std::string why;
    auto entry = reinterpret_cast<ZLKRasterRendererEntry>(LoadEmbeddedModule(
        "ZLKRasterRenderer", zlk_raster_module_begin, zlk_raster_module_end, "ZLKRasterRenderer", why));
    if (!entry) {
        Report(Severity::Warning, "The page renderer cannot be loaded: %s.", why.c_str());
        return nullptr;
    }
    return entry();
}

const ZLKRasterRendererTable* RasterRenderer()
{
    static const ZLKRasterRendererTable* const renderer = LoadRasterRenderer();
    return renderer;
}

// A document as the renderer module opened it; closed with this.
class RasterDocument {
public:
    RasterDocument(const ZLKRasterRendererTable& renderer, const std::string& path)
        : renderer_(renderer),
          document_(renderer.openDocument(path.c_str()))
    {
        if (!document_)
            throw std::runtime_error("renderer cannot open the document");
    }
    ~RasterDocument() { renderer_.closeDocument(document_); }
    RasterDocument(const RasterDocument&) = delete;
    RasterDocument& operator=(const RasterDocument&) = delete;
    void* get() const { return document_; }

private:
    const ZLKRasterRendererTable& renderer_;
    void* document_;
};

// Waits for a renderer; one that is still running when the owner goes
// (cancelled, or its output cut short) is killed first.
class ChildRenderer {
public:
    explicit ChildRenderer(pid_t pid) : pid_(pid) {}
    ChildRenderer(const ChildRenderer&) = delete;
    ChildRenderer& operator=(const ChildRenderer&) = delete;
    ~ChildRenderer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Reap();
        }
    }
    bool Succeeded()
    {
        const int status = Reap();
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    int Reap()
    {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            if (CancelJob)
                kill(pid_, SIGKILL);
        }
        pid_ = -1;
        return status;
    }
    pid_t pid_;
};

// One strip of a page's image, its data kept in the spool file.
struct RasterStrip {
    raster::StripInfo info;
    std::string palette;  // 3 bytes a colour
    off_t offset = 0;
    off_t length = 0;
};

// Renderers for the image pages, each in a child process: a renderer cannot
// be interrupted, a cancelled job must not wait for a slow page, and one that
// crashes on a hostile page takes only the page with it. While one page is
// collected the next ones render beside it on the other cores. Each page's
// bytes come from its own renderer alone, so the output is the same however
// many run at once. Destroying this kills and reaps every renderer.
class RasterRenderers {
public:
    RasterRenderers(const ZLKRasterRendererTable& renderer, void* document, int spool)
        : renderer_(renderer),
          document_(document),
          spool_(spool),
          ahead_(RenderersAtOnce() - 1)
    {}

    size_t Add(const ZLKRasterPage& page)
    {
        pages_.push_back(page);
        return pages_.size() - 1;
    }

    // Waits for page `slot`, appends its strips' data to the spool file and
    // answers the strips, top first.
    std::vector<RasterStrip> Collect(size_t slot)
    {
        for (size_t next = slot; next <= slot + ahead_ && next < pages_.size(); ++next)
            if (!running_.count(next))
                Start(next);
        Running page = std::move(running_.at(slot));
        running_.erase(slot);
        std::vector<RasterStrip> strips;
        RasterStrip strip;
        strip.offset = spoolEnd_;
        uint32_t nextRow = 0;
        for (raster::MessageHead head;
             ReadFully(page.output.get(), &head, sizeof head) && head.tag != raster::kPageEnd;) {
            if (head.tag == raster::kData) {
                CopyToSpool(page.output.get(), head.length);
                strip.length += head.length;
            } else if (head.tag == raster::kStrip && head.length >= sizeof strip.info &&
                       head.length <= sizeof strip.info + 3 * raster::kMaxColours) {
                std::string payload(head.length, '\0');
                if (!ReadFully(page.output.get(), payload.data(), payload.size()))
                    break;
                std::memcpy(&strip.info, payload.data(), sizeof strip.info);
                strip.palette = payload.substr(sizeof strip.info);
                if (!IsSound(strip, nextRow, pages_[slot]))
                    throw std::runtime_error("page could not be rendered");
                nextRow += strip.info.rows;
                strips.push_back(strip);
                strip = RasterStrip();
                strip.offset = spoolEnd_;
            } else {
                throw std::runtime_error("page could not be rendered");
            }
        }
        // Data from a renderer that failed is never a whole page.
        if (!page.renderer->Succeeded() || nextRow != static_cast<uint32_t>(pages_[slot].height))
            throw std::runtime_error("page could not be rendered");
        ++gRasterPagesRendered;
        return strips;
    }

private:
    struct Running {
        common::UniqueFd output;
        std::unique_ptr<ChildRenderer> renderer;
    };

    // ZLK_RASTER_RENDERERS, else one per core; at most 4.
    static size_t RenderersAtOnce()
    {
        long wanted = 0;
        if (const char* text = std::getenv("ZLK_RASTER_RENDERERS"))
            wanted = std::strtol(text, nullptr, 10);
        if (wanted <= 0)
            wanted = sysconf(_SC_NPROCESSORS_ONLN);
        return static_cast<size_t>(std::clamp(wanted, 1L, 4L));
    }

    static bool IsSound(const RasterStrip& strip, uint32_t nextRow, const ZLKRasterPage& page)
    {
        const raster::StripInfo& info = strip.info;
        const bool palette = info.colours > 0;
        const bool bits = palette ? (info.bits == 1 || info.bits == 2 || info.bits == 4 || info.bits == 8) &&
                                        info.colours <= (1u << info.bits) && info.predictor == 0
                                  : info.bits == 8 && (info.predictor == 0 || info.predictor == raster::kPngPredictors);
        return info.firstRow == nextRow && info.rows > 0 && info.rows <= static_cast<uint32_t>(page.height) - nextRow &&
               bits && strip.palette.size() == 3u * info.colours && strip.length > 0;
    }

    // Reads exactly size bytes; false at the end of the data.
    static bool ReadFully(int fd, void* data, size_t size)
    {
        auto* at = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = read(fd, at, size);
            if (CancelJob)
                throw std::runtime_error("job cancelled");
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw std::runtime_error("page could not be rendered");
            if (n == 0)
                return false;
            at += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    void CopyToSpool(int fd, size_t count)
    {
        while (count > 0) {
            const size_t part = std::min(count, buffer_.size());
            if (!ReadFully(fd, buffer_.data(), part) ||
                !common::WriteAll(spool_, std::string_view(buffer_.data(), part)))
                throw std::runtime_error("page could not be kept");
            spoolEnd_ += static_cast<off_t>(part);
            count -= part;
        }
    }

    void Start(size_t slot)
    {
        if (CancelJob)
            throw std::runtime_error("job cancelled");
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe for the renderer");
        common::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
        // Room for a whole compressed page, so a renderer ahead of the
        // collector seldom waits for it; the system may give less.
        fcntl(writeEnd.get(), F_SETPIPE_SZ, 1 << 20);
        const pid_t parent = getpid();
        const pid_t child = fork();
        if (child < 0)
            throw std::runtime_error("renderer not started");
        if (child == 0) {
            if (!EndWithParent(parent))
                _exit(1);
            readEnd.reset();
            // Each band is allocated anew, several megabytes: from the heap
            // rather than fresh mappings, the pages are faulted in once.
            mallopt(M_MMAP_THRESHOLD, 64 << 20);
            mallopt(M_TRIM_THRESHOLD, 128 << 20);
            _exit(renderer_.renderPage(document_, &pages_[slot], writeEnd.get()) ? 0 : 1);
        }
        writeEnd.reset();
        running_[slot] = Running{std::move(readEnd), std::make_unique<ChildRenderer>(child)};
    }

    const ZLKRasterRendererTable& renderer_;
    void* document_;
    int spool_;
    off_t spoolEnd_ = 0;
    size_t ahead_;
    std::vector<char> buffer_ = std::vector<char>(65536);
    std::vector<ZLKRasterPage> pages_;
    std::map<size_t, Running> running_;
};

// A strip's image data, copied from the spool file when the writer asks for it.
class SpoolRangeProvider : public QPDFObjectHandle::StreamDataProvider {
public:
    SpoolRangeProvider(std::shared_ptr<common::UnnamedTempFile> spool, off_t offset, off_t length)
        : spool_(std::move(spool)),
          offset_(offset),
          length_(length)
    {}

    void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override
    {
        std::vector<unsigned char> buffer(65536);
        for (off_t done = 0; done < length_;) {
            const auto want = static_cast<size_t>(std::min<off_t>(length_ - done, static_cast<off_t>(buffer.size())));
            const ssize_t n = pread(spool_->fd(), buffer.data(), want, offset_ + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw std::runtime_error("page image could not be read back");
            pipeline->write(buffer.data(), static_cast<size_t>(n));
            done += n;
        }
        pipeline->finish();
    }

private:
    std::shared_ptr<common::UnnamedTempFile> spool_;
    off_t offset_;
    off_t length_;
};

// The image XObject of one strip of a page `width` pixels wide.
QPDFObjectHandle StripImage(QPDF& out, const RasterStrip& strip, int width,
                            const std::shared_ptr<common::UnnamedTempFile>& spool)
{
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&out);
    image.replaceStreamData(std::make_shared<SpoolRangeProvider>(spool, strip.offset, strip.length),
                            QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(strip.info.rows));
    if (strip.info.colours > 0) {
        QPDFObjectHandle space = QPDFObjectHandle::newArray();
        space.appendItem(QPDFObjectHandle::newName("/Indexed"));
        space.appendItem(QPDFObjectHandle::newName("/DeviceRGB"));
        space.appendItem(QPDFObjectHandle::newInteger(strip.info.colours - 1));
        space.appendItem(QPDFObjectHandle::newString(strip.palette));
        dict.replaceKey("/ColorSpace", space);
    } else {
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
    }
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(strip.info.bits));
    dict.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
    if (strip.info.predictor == raster::kPngPredictors) {
        QPDFObjectHandle parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(raster::kPngPredictors));
        parms.replaceKey("/Colors", QPDFObjectHandle::newInteger(3));
        parms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(width));
        dict.replaceKey("/DecodeParms", parms);
    }
    return image;
}

}  // namespace

PDFDocInfo::PDFDocInfo() = default;
PDFDocInfo::~PDFDocInfo() = default;

namespace {

// Has the writer write into file (through a descriptor of its own, closed
// when the writer is done), not into a file it names.
void SetWriterOutput(QPDFWriter& writer, const common::UnnamedTempFile& file)
{
    common::UniqueFd fd(fcntl(file.fd(), F_DUPFD_CLOEXEC, 0));
    std::FILE* stream = fd ? fdopen(fd.get(), "wb") : nullptr;
    if (!stream)
        throw std::runtime_error("temporary file cannot be written");
    fd.release();
    writer.setOutputFile("temporary file", stream, true);
}

// The whole file mapped read-only, or none (an empty file, or one that
// does not open).
std::shared_ptr<const char> MapFile(const char* path, size_t& size)
{
    size = 0;
    common::UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!fd || fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0)
        return nullptr;
    const auto length = static_cast<size_t>(status.st_size);
    void* map = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (map == MAP_FAILED)
        return nullptr;
    size = length;
    return std::shared_ptr<const char>(static_cast<const char*>(map),
                                       [length](const char* p) { munmap(const_cast<char*>(p), length); });
}

}  // namespace

void pdfDocInfo_init(const char* path, PDFDocInfo& info)
{
    info.document.reset();
    info.bytes.reset();
    info.path.clear();
    std::snprintf(info.keywordPrefix, sizeof info.keywordPrefix, "%s", "ZLK");
    info.pageCount = 0;
    info.lastPage = 0;
    info.pageStep = 1;
    info.rotation = 0;
    info.rasterMode = 0;
    if (!path || !*path)
        return;
    info.path = path;
    try {
        auto document = std::make_unique<QPDF>();
        // Damage that qpdf repairs is not worth a message; failures are reported below.
        document->setSuppressWarnings(true);
        size_t size = 0;
        info.bytes = MapFile(path, size);
        if (info.bytes)
            document->processMemoryFile(path, info.bytes.get(), size);
        else
            document->processFile(path);
        // A document whose page tree cannot be read is as good as unopened;
        // qpdf would quietly count such a tree as empty.
        if (!document->getRoot().getKey("/Pages").isDictionary())
            throw std::runtime_error("no page tree");
        size_t pages = document->getAllPages().size();
        info.pageCount = static_cast<int32_t>(std::min<size_t>(pages, INT32_MAX));
        info.lastPage = info.pageCount;
        info.document = std::move(document);
    } catch (...) {
        info.bytes.reset();
        info.pageCount = 0;
        info.lastPage = 0;
        // Fixed diagnostic line for a document that does not open (see output.h).
        Utlfputs("CGPDFDocumentCreateWithURL error\n", stderr);
    }
}

bool IsSoundPDF(const PDFDocInfo& info)
{
    if (!info.document)
        return false;
    char head[5] = {};
    std::FILE* file = std::fopen(info.path.c_str(), "rb");
    if (!file)
        return false;
    const bool pdfHead = std::fread(head, 1, sizeof head, file) == sizeof head && std::memcmp(head, "%PDF-", 5) == 0;
    std::fclose(file);
    if (!pdfHead || info.document->anyWarnings())
        return false;
    try {
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*info.document).getAllPages()) {
            PageRect box;
            if (!ReadRect(page.getAttribute("/MediaBox", false), box))
                return false;
        }
    } catch (...) {
        return false;
    }
    return !info.document->anyWarnings();
}

bool RewriteDamagedPDF(PDFDocInfo& info, common::UnnamedTempFile& out)
{
    if (!info.document)
        return false;
    common::UnnamedTempFile temp = common::NewUnnamedTempFile();
    if (!temp)
        return false;
    try {
        QPDFPageDocumentHelper pages(*info.document);
        pages.pushInheritedAttributesToPage();
        for (QPDFPageObjectHelper& page : pages.getAllPages()) {
            PageRect box;
            if (!ReadRect(page.getAttribute("/MediaBox", false), box))
                page.getObjectHandle().replaceKey("/MediaBox", RectArray(PageRect{0, 0, 612, 792}));
        }
        // The writer fills in /Size only where the trailer has one, and a
        // damaged file may have lost it.
        info.document->getTrailer().replaceKey("/Size", QPDFObjectHandle::newInteger(0));
        QPDFWriter writer(*info.document);
        SetWriterOutput(writer, temp);
        // Content stays as it was read; only the structure is written anew.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.write();
    } catch (...) {
        return false;
    }
    pdfDocInfo_init(temp.path().c_str(), info);
    if (!IsSoundPDF(info) || info.pageCount <= 0)
        return false;
    out = std::move(temp);
    return true;
}

int checkNumPages(int numOptions, cups_option_t* options, const char* contentType, PDFDocInfo& info)
{
    const char* copiesText = cupsGetOption(kCopiesKey, numOptions, options);
    if (!copiesText)
        return 0;
    const int64_t copies = ParseInt(copiesText);
    if (copies <= 1)
        return 0;

    int64_t total = 0;
    if (const char* totalText = cupsGetOption(kTotalSidesKey, numOptions, options))
        total = ParseInt(totalText);
    else if (contentType && std::strcmp(contentType, "application/postscript") == 0)
        total = std::min<int64_t>(copies * info.pageCount, INT32_MAX);
    else
        return 0;

    if (OptionIs("page-set", "odd", numOptions, options))
        info.lastPage = static_cast<int32_t>(total / 2 + total % 2);
    else if (OptionIs("page-set", "even", numOptions, options))
        info.lastPage = static_cast<int32_t>(total / 2);

    if (total / copies >= info.pageCount)
        return 0;

    const char* collate = cupsGetOption("Collate", numOptions, options);
    if (!collate)
        return 1;
    if (IsCollateOn(collate)) {
        info.lastPage = static_cast<int32_t>(info.pageCount / copies);
        info.pageStep = 1;
    } else {
        info.lastPage = info.pageCount;
        info.pageStep = static_cast<int32_t>(copies);
    }
    return 1;
}

int checkMSIOrientation(int numOptions, cups_option_t* options, PDFDocInfo& info)
{
    if (!OptionIs(PrefixedName(info, "InputSlot").c_str(), "BypassTray", numOptions, options))
        return 0;
    const std::string edge = PrefixedName(info, "MSILeadingEdge");
    if (!OptionIs(edge.c_str(), "LongEdgeR", numOptions, options) &&
        !OptionIs(edge.c_str(), "ShortEdgeR", numOptions, options))
        return 0;
    info.rotation += 180;
    return 1;
}

int checkTurnPage(int numOptions, cups_option_t* options, PDFDocInfo& info)
{
    if (!OptionIs(PrefixedName(info, "TurnPage").c_str(), "true", numOptions, options))
        return 0;
    info.rotation += 180;
    return 1;
}

int checkRasterMode(int numOptions, cups_option_t* options, PDFDocInfo& info)
{
    if (!OptionIs(PrefixedName(info, "PDFRasterizedMode").c_str(), "true", numOptions, options))
        return 0;
    info.rasterMode = 1;
    return 1;
}

bool CheckIfNeedEdit(const char* jobOptions, const char* contentType, PDFDocInfo& info)
{
    JobOptions parsed(jobOptions);
    // All four run, in this order, whatever the earlier ones answered.
    const int copies = checkNumPages(parsed.count(), parsed.options(), contentType, info);
    const int msi = checkMSIOrientation(parsed.count(), parsed.options(), info);
    const int turn = checkTurnPage(parsed.count(), parsed.options(), info);
    const int raster = checkRasterMode(parsed.count(), parsed.options(), info);
    return msi || turn || raster || copies;
}

PageMatrix setContextCTM(const PDFDocInfo& info, const PageRect& rect)
{
    const int r = EffectiveRotation(info.rotation);
    if (r == 0)
        return {};
    if (r == 180)
        return {-1, 0, 0, -1, 2 * rect.x + rect.width, 2 * rect.y + rect.height};
    // acos(-1) is pi: the fuzz build compiles this file as C++17, without <numbers>.
    const double angle = r * std::acos(-1.0) / 180;
    return {std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0};
}

int processPDF(PDFDocInfo& info, QPDF& out)
{
    try {
        QPDFPageDocumentHelper output(out);
        return ForEachChosenPage(info, [&](int, QPDFPageObjectHelper& source) {
            PageRect box = MediaBoxOf(source);
            // The foreign page is copied whole: resources, fonts, forms,
            // annotations and /Rotate stay as they were.
            QPDFObjectHandle dict = out.copyForeignObject(source.getObjectHandle());
            QPDFPageObjectHelper page(dict);
            output.addPage(page, false);
            dict.replaceKey("/MediaBox", RectArray(box));

            PageMatrix m = setContextCTM(info, box);
            if (m == PageMatrix{})
                return;
            std::string cm =
                Num(m.a) + " " + Num(m.b) + " " + Num(m.c) + " " + Num(m.d) + " " + Num(m.e) + " " + Num(m.f) + " cm\n";
            page.addPageContents(QPDFObjectHandle::newStream(&out, "q " + cm), true);
            page.addPageContents(QPDFObjectHandle::newStream(&out, "\nQ\n"), false);
            // The other boxes must follow the content, or a crop box off the
            // centre would show the wrong part of the turned page.
            for (const char* key : {"/CropBox", "/BleedBox", "/TrimBox", "/ArtBox"}) {
                PageRect other;
                if (!ReadRect(dict.getKey(key), other))
                    continue;
                other.x = m.e - other.x - other.width;
                other.y = m.f - other.y - other.height;
                dict.replaceKey(key, RectArray(other));
            }
        });
    } catch (...) {
        return -1;
    }
}

int processImage(PDFDocInfo& info, QPDF& out)
{
    try {
        struct ImagePage {
            PageRect box;
            ZLKRasterPage raster;
            int pageRotation;
        };
        std::vector<ImagePage> chosen;
        const int turn = EffectiveRotation(info.rotation) == 180 ? 180 : 0;
        const int result = ForEachChosenPage(info, [&](int number, QPDFPageObjectHelper& source) {
            const PageRect box = VisibleBoxOf(source);
            const std::optional<RasterSize> size = RasterSizeOf(box);
            if (!size)
                throw std::runtime_error("page size unfit for an image");
            if (size->dpi < kRasterDpi)
                Report(Severity::Info,
                       "Page %d is too large for a %.0f dpi image within %.0f million pixels; it is rasterised at %.1f "
                       "dpi.",
                       number, kRasterDpi, kMaxRasterPixels / 1e6, size->dpi);
            const int pageRotation = PageRotation(source);
            // The renderer adds the page's own /Rotate; cancel it, since the
            // new page carries the same /Rotate, and add the turn.
            const int renderRotation = (turn - pageRotation + 360) % 360;
            chosen.push_back(ImagePage{box,
                                       ZLKRasterPage{number - 1, size->width, size->height, size->dpi,
                                                     renderRotation / 90, OnPixelGrid(box, *size) ? 1 : 0},
                                       pageRotation});
        });
        if (result != 0 || chosen.empty())
            return result;

        const ZLKRasterRendererTable* renderer = RasterRenderer();
        if (!renderer)
            return -1;
        RasterDocument document(*renderer, info.path);
        // The pages' image data waits here until the writer takes it.
        auto spool = std::make_shared<common::UnnamedTempFile>(common::NewUnnamedTempFile());
        if (!*spool)
            return -1;
        RasterRenderers renderers(*renderer, document.get(), spool->fd());
        for (const ImagePage& page : chosen)
            renderers.Add(page.raster);

        QPDFPageDocumentHelper output(out);
        for (size_t slot = 0; slot < chosen.size(); ++slot) {
            const ImagePage& chosenPage = chosen[slot];
            const PageRect& box = chosenPage.box;
            const std::vector<RasterStrip> strips = renderers.Collect(slot);
            const double height = chosenPage.raster.height;
            QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
            std::string content;
            // On the pixel grid each image is drawn in by a hair's breadth:
            // renderers that take the pixel past an edge landing exactly on
            // one (poppler does, as rounding falls) would otherwise stretch
            // the image by a pixel and blur it.
            const double inset = chosenPage.raster.splitRows ? kImageInset : 0;
            for (size_t k = 0; k < strips.size(); ++k) {
                const raster::StripInfo& strip = strips[k].info;
                const std::string name = "/Im" + std::to_string(k);
                xobjects.replaceKey(name, StripImage(out, strips[k], chosenPage.raster.width, spool));
                // Strips run top down.
                const double bottom = box.y + box.height * (height - strip.firstRow - strip.rows) / height;
                content += "q " + Num(box.width - 2 * inset) + " 0 0 " +
                           Num(box.height * strip.rows / height - 2 * inset) + " " + Num(box.x + inset) + " " +
                           Num(bottom + inset) + " cm " + name + " Do Q\n";
            }
            QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            page.replaceKey("/MediaBox", RectArray(box));
            QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
            resources.replaceKey("/XObject", xobjects);
            page.replaceKey("/Resources", resources);
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&out, content));
            if (chosenPage.pageRotation)
                page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(chosenPage.pageRotation));
            output.addPage(QPDFPageObjectHelper(out.makeIndirectObject(page)), false);
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

long RasterPagesRendered() { return gRasterPagesRendered; }

bool PreProcess(PDFDocInfo& info, common::UnnamedTempFile& pdfOut)
{
    pdfOut.reset();
    // Thinning that keeps no page would print nothing at all.
    if (info.lastPage <= 0)
        return false;
    common::UnnamedTempFile temp = common::NewUnnamedTempFile();
    if (!temp)
        return false;
    try {
        QPDF out;
        out.setSuppressWarnings(true);
        out.emptyPDF();
        int result = info.rasterMode ? processImage(info, out) : processPDF(info, out);
        if (result != 0)
            return false;
        QPDFWriter writer(out);
        SetWriterOutput(writer, temp);
        // Page content is copied as it is, not decoded and re-encoded. Image
        // data comes compressed from the renderer; the few bytes that place a
        // turned page are not compressed: a deflate stream of its own for
        // each of them costs more time than it saves bytes.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(info.rasterMode);
        writer.write();
    } catch (...) {
        return false;
    }
    if (CancelJob)
        return false;
    pdfOut = std::move(temp);
    return true;
}

bool WritePDFData(const common::UnnamedTempFile& file)
{
    if (!file)
        return false;
    off_t at = 0;
    // Without a job copy the bytes need not pass through the filter: the
    // system copies them to standard output. Where it cannot (or fails),
    // the loop below writes the rest, and meets any error as before.
    if (!gJobFilefp && std::fflush(stdout) == 0) {
        ssize_t sent;
        while ((sent = sendfile(fileno(stdout), file.fd(), &at, 1 << 30)) > 0 || (sent < 0 && errno == EINTR)) {}
    }
    char buffer[65536];
    for (;;) {
        const ssize_t count = pread(file.fd(), buffer, sizeof buffer, at);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        Utlfwrite(buffer, 1, static_cast<size_t>(count), stdout);
        at += count;
    }
}

bool WritePDFData(const char* path)
{
    if (!path || !*path)
        return false;
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path, "rb"));
    if (!file)
        return false;
    char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        Utlfwrite(buffer, 1, count, stdout);
    file.reset();
    unlink(path);
    return true;
}

}  // namespace zlk::filter
