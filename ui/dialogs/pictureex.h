#pragma once

// Picture control: shows a still image or a GIF animation from memory or
// from the program's resources. Every GIF frame is cut out as a GIF of
// its own and decoded once at load time; a drawing thread then composes
// the frames on an off-screen surface, and painting copies that surface.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "ui/dialogs/frameanimator.h"

class CPictureEx : public QWidget, private corvexa::gif::IFrameCanvas {
public:
    struct FrameRecord {
        QImage picture;
        int width = 0, height = 0, left = 0, top = 0;
        std::uint32_t delay = 0xFFFFFFFFu;
        int disposal = 0;
    };

    explicit CPictureEx(QWidget* parent = nullptr);
    ~CPictureEx() override;

    bool LoadFromMemory(const std::uint8_t* data, std::size_t size);
    bool LoadFromMemory(const QByteArray& data);
    // Resource `number` of `type` (type compared without case).
    bool LoadFromResource(int number, const QString& type);

    void StartDisplay();
    void StopAnimation();
    void Clear();
    bool IsAnimation() const { return m_gif && m_frames.size() > 1; }

    // State for callers and tests.
    QSize PictureSize() const { return QSize(m_width, m_height); }
    bool HasSurface() const;
    const std::vector<FrameRecord>& Frames() const { return m_frames; }
    bool IsAnimating() const { return m_animator.Running(); }
    std::size_t CurrentFrame() const { return m_animator.CurrentFrame(); }
    QColor Background() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class CPictureExTestPeer;

    // A copy of the surface as painting would show it.
    QImage Snapshot() const;
    bool PrepareSurface(int w, int h);
    static std::optional<QImage> Decode(const std::uint8_t* data, std::size_t size);

    // IFrameCanvas, called from the drawing thread.
    std::size_t FrameCount() const override { return m_frames.size(); }
    bool HasPicture(std::size_t frame) const override;
    std::uint32_t Delay(std::size_t frame) const override { return m_frames[frame].delay; }
    int Disposal(std::size_t frame) const override { return m_frames[frame].disposal; }
    void SaveArea(std::size_t frame) override;
    bool RenderFrame(std::size_t frame) override;
    void Invalidate() override;
    void ApplyDisposal(std::size_t frame) override;
    void ClearSurface() override;

    int m_width = 0;
    int m_height = 0;
    bool m_gif = false;
    QImage m_still;
    std::vector<FrameRecord> m_frames;  // not changed while the thread runs

    // The surface is drawn on by the drawing thread and copied by painting;
    // this lock keeps the two apart.
    mutable std::mutex m_surfaceLock;
    QImage m_surface;
    std::optional<QImage> m_saved;  // area under a disposal-3 frame
    QColor m_background = Qt::white;

    corvexa::gif::CFrameAnimator m_animator{*this};
};
