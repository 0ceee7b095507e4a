#include "ui/dialogs/pictureex.h"

#include <QBuffer>
#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include "res/resources.h"
#include "ui/dialogs/gifparser.h"

using corvexa::gif::CGifParser;
using corvexa::gif::FrameSlice;

namespace {

// A GIF header may claim a screen of up to 65535 x 65535, and a frame as
// much; a surface that large (16 GiB) is refused like any other allocation
// failure, and all frames together may hold no more pixels than that.
constexpr qint64 kMaxPixels = 64 * 1024 * 1024;

bool FitsInPixels(int w, int h, qint64 limit) {
    return w > 0 && h > 0 && static_cast<qint64>(w) * h <= limit;
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, int v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// The decoder gives a frame on the whole logical screen; a frame image
// whose screen is the frame's own rectangle, placed at 0,0, decodes to
// just that rectangle (a 1 x 1 frame of a 2000 x 2000 GIF is 4 bytes, not
// 16 MB).
void ShrinkScreenToFrame(FrameSlice& slice) {
    Put16(slice.image, 6, slice.width);
    Put16(slice.image, 8, slice.height);
    Put16(slice.image, slice.descriptor + 1, 0);
    Put16(slice.image, slice.descriptor + 3, 0);
}

}  // namespace

CPictureEx::CPictureEx(QWidget* parent) : QWidget(parent) {
    // Painting covers the control with the surface; nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPictureEx::~CPictureEx() {
    Clear();
}

std::optional<QImage> CPictureEx::Decode(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize claimed = reader.size();
    if (claimed.isValid() && !FitsInPixels(claimed.width(), claimed.height(), kMaxPixels)) {
        return std::nullopt;
    }
    QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return image;
}

bool CPictureEx::LoadFromMemory(const QByteArray& data) {
    return LoadFromMemory(reinterpret_cast<const std::uint8_t*>(data.constData()),
                          static_cast<std::size_t>(data.size()));
}

bool CPictureEx::LoadFromMemory(const std::uint8_t* data, std::size_t size) {
    Clear();
    if (data == nullptr || size == 0) return false;
    CGifParser parser(data, size);
    if (!parser.IsGif()) {
        std::optional<QImage> image = Decode(data, size);
        if (!image) return false;
        m_still = *image;
        return PrepareSurface(m_still.width(), m_still.height());
    }
    m_gif = true;
    // Before any decoding: the decoder would build images of this size.
    if (!FitsInPixels(parser.ScreenWidth(), parser.ScreenHeight(), kMaxPixels)) return false;
    const int count = parser.CountGraphicBlocks();
    if (count == 0) return false;
    if (count == 1) {
        std::optional<QImage> image = Decode(data, size);
        if (!image) return false;
        m_still = *image;
        return PrepareSurface(parser.ScreenWidth(), parser.ScreenHeight());
    }
    parser.Rewind();
    FrameSlice slice;
    qint64 pixelsLeft = kMaxPixels;
    while (parser.CutNextFrame(&slice)) {
        // A plain text frame keeps the screen: the decoder shows no text.
        if (slice.descriptor != 0) {
            if (!FitsInPixels(slice.width, slice.height, kMaxPixels)) continue;  // undecodable
            if (!FitsInPixels(slice.width, slice.height, pixelsLeft)) break;
            pixelsLeft -= static_cast<qint64>(slice.width) * slice.height;
            ShrinkScreenToFrame(slice);
        }
        std::optional<QImage> image = Decode(slice.image.data(), slice.image.size());
        if (!image) continue;  // an undecodable frame is left out
        m_frames.push_back(FrameRecord{*image, slice.width, slice.height, slice.left, slice.top,
                                       slice.delay, slice.disposal});
    }
    if (m_frames.empty()) return false;
    return PrepareSurface(parser.ScreenWidth(), parser.ScreenHeight());
}

bool CPictureEx::LoadFromResource(int number, const QString& type) {
    std::optional<QByteArray> data = corvexa::res::FindResource(type, number);
    if (!data) {
        Clear();
        return false;
    }
    return LoadFromMemory(*data);
}

bool CPictureEx::PrepareSurface(int w, int h) {
    if (!FitsInPixels(w, h, kMaxPixels)) return false;
    resize(w, h);
    QImage surface(w, h, QImage::Format_ARGB32_Premultiplied);
    if (surface.isNull()) return false;  // empty or too large to allocate
    surface.fill(palette().color(QPalette::Window));
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    m_background = palette().color(QPalette::Button);
    m_width = w;
    m_height = h;
    m_surface = std::move(surface);
    return true;
}

bool CPictureEx::HasSurface() const {
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    return !m_surface.isNull();
}

QColor CPictureEx::Background() const {
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    return m_background;
}

QImage CPictureEx::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    return m_surface.copy();
}

void CPictureEx::StartDisplay() {
    if (!HasSurface()) return;
    if (IsAnimation()) {
        m_animator.Start();  // stops a running thread first
        return;
    }
    bool drawn = false;
    {
        std::lock_guard<std::mutex> guard(m_surfaceLock);
        if (!m_still.isNull()) {
            QPainter p(&m_surface);
            p.drawImage(QRect(0, 0, m_width, m_height), m_still);
            drawn = true;
        }
    }
    // Two or more graphic blocks of which only one decoded: show that frame
    // as a still picture rather than nothing.
    if (!drawn && m_frames.size() == 1) drawn = RenderFrame(0);
    if (drawn) update();
}

void CPictureEx::StopAnimation() {
    m_animator.Stop();
}

void CPictureEx::Clear() {
    StopAnimation();
    // The drawing thread has ended, so the pictures can go.
    m_still = QImage();
    m_frames.clear();
    m_gif = false;
    m_width = m_height = 0;
    m_animator.ResetFrame();
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    m_surface = QImage();
    m_saved.reset();
    m_background = Qt::white;
}

bool CPictureEx::HasPicture(std::size_t frame) const {
    return !m_frames[frame].picture.isNull();
}

static QRect FrameRect(const CPictureEx::FrameRecord& f) {
    return QRect(f.left, f.top, f.width, f.height);
}

void CPictureEx::SaveArea(std::size_t frame) {
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    const QImage area = m_surface.copy(FrameRect(m_frames[frame]));
    if (area.isNull()) {
        m_saved.reset();
    } else {
        m_saved = area;
    }
}

bool CPictureEx::RenderFrame(std::size_t frame) {
    const FrameRecord& f = m_frames[frame];
    if (f.picture.isNull()) return false;
    const QRect target = FrameRect(f);
    // The decoder gives each frame at its place on the logical screen; only
    // the frame's own rectangle is taken from it, so that frames smaller
    // than the screen are not squeezed into their rectangle.
    const QRect source = f.picture.rect().contains(target) && f.picture.size() != target.size()
                             ? target
                             : f.picture.rect();
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    if (m_surface.isNull()) return false;
    QPainter p(&m_surface);
    p.drawImage(target, f.picture, source);
    return true;
}

void CPictureEx::Invalidate() {
    // Runs on the drawing thread: the repaint is queued for the window thread.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void CPictureEx::ApplyDisposal(std::size_t frame) {
    const FrameRecord& f = m_frames[frame];
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    if (m_surface.isNull()) return;
    if (f.disposal == 2) {
        QPainter p(&m_surface);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(FrameRect(f), m_background);
    } else if (f.disposal == 3 && m_saved) {
        QPainter p(&m_surface);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(f.left, f.top, *m_saved);
        m_saved.reset();
    }
}

void CPictureEx::ClearSurface() {
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    m_surface.fill(m_background);
}

void CPictureEx::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    // Nothing is erased before painting, so whatever the surface does not
    // cover (all of the control while it has none) is painted here, or it
    // would show whatever the backing store held: black, usually.
    QRegion uncovered(event->rect());
    std::lock_guard<std::mutex> guard(m_surfaceLock);
    if (!m_surface.isNull()) {
        p.drawImage(QPoint(0, 0), m_surface, QRect(0, 0, m_width, m_height));
        uncovered -= QRect(0, 0, m_width, m_height);
    }
    for (const QRect& r : uncovered) p.fillRect(r, palette().color(backgroundRole()));
}
