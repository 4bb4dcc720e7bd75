#include "graphui/SizingControlBar.h"

#include <QApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>

namespace {

QList<CSizingControlBar*>& Registry() {
    static QList<CSizingControlBar*> bars;
    return bars;
}

// Raised (highlight, shadow) or sunken (shadow, highlight) 3D rectangle of one pixel.
void Draw3dRect(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.setPen(bottomRight);
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

}  // namespace

// The gripper title: for a bar docked at the top or bottom a strip on its left with the close
// button at the top and two 3D lines below it; otherwise a strip across its top.
class TitleBar : public QWidget {
public:
    explicit TitleBar(CSizingControlBar* bar) : QWidget(bar), bar_(bar) { setMouseTracking(true); }

    QSize sizeHint() const override {
        const int s = CSizingControlBar::kGripperSize + 2;
        return bar_->isFloating() ? QSize(s, fontMetrics().height() + 6) : QSize(s, s);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

    QRect CloseRect() const {
        const int s = CSizingControlBar::kCloseButtonSize;
        if (bar_->isFloating() || !VerticalStrip())
            return QRect(width() - s - 2, (height() - s) / 2, s, s);
        return QRect((width() - s) / 2, 1, s, s);
    }
    bool VerticalStrip() const {
        return bar_->features() & QDockWidget::DockWidgetVerticalTitleBar;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette pal = palette();
        p.fillRect(rect(), pal.color(QPalette::Button));
        const QColor light = pal.color(QPalette::Light), dark = pal.color(QPalette::Dark);
        const QRect close = CloseRect();
        if (bar_->isFloating()) {
            p.setPen(pal.color(QPalette::ButtonText));
            p.drawText(rect().adjusted(4, 0, -close.width() - 6, 0),
                       Qt::AlignVCenter | Qt::AlignLeft, bar_->windowTitle());
        } else if (bar_->HasGripper()) {
            // Two parallel 3D lines, 3 pixels wide and 3 apart.
            if (VerticalStrip()) {
                const int top = close.top() + 14, x = (width() - 9) / 2;
                for (int i = 0; i < 2; ++i)
                    Draw3dRect(p, QRect(x + 6 * i, top, 3, height() - top - 2), light, dark);
            } else {
                const int right = close.left() - 3, y = (height() - 9) / 2;
                for (int i = 0; i < 2; ++i)
                    Draw3dRect(p, QRect(2, y + 6 * i, right - 2, 3), light, dark);
            }
        }
        if (bar_->pushed_) {
            Draw3dRect(p, close, dark, light);
        } else if (bar_->hot_) {
            Draw3dRect(p, close, light, dark);
        }
        // The close glyph: a small cross, one pixel further when pushed.
        const QPoint o = close.topLeft() + QPoint(bar_->pushed_ ? 3 : 2, bar_->pushed_ ? 3 : 2);
        QPen pen(pal.color(QPalette::ButtonText), 1.4);
        p.setPen(pen);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawLine(QPointF(o) + QPointF(1, 1), QPointF(o) + QPointF(6, 6));
        p.drawLine(QPointF(o) + QPointF(6, 1), QPointF(o) + QPointF(1, 6));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        bar_->UpdateCommandState();
        QWidget::mouseMoveEvent(e);
        if (!CloseRect().contains(e->position().toPoint())) e->ignore();
    }
    void leaveEvent(QEvent*) override { bar_->UpdateCommandState(); }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && CloseRect().contains(e->position().toPoint())) {
            bar_->pushed_ = true;
            update();
            return;
        }
        e->ignore();  // the dock widget starts its drag
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        const bool wasPushed = bar_->pushed_;
        bar_->pushed_ = false;
        update();
        if (wasPushed && e->button() == Qt::LeftButton &&
            CloseRect().contains(e->position().toPoint())) {
            bar_->CloseBar();
            return;
        }
        e->ignore();
    }

private:
    CSizingControlBar* bar_;
};

CSizingControlBar::CSizingControlBar(QWidget* parent) : QDockWidget(parent) {
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                QDockWidget::DockWidgetClosable);
    setMinimumSize(minimum_);
}

CSizingControlBar::~CSizingControlBar() { Registry().removeAll(this); }

const QList<CSizingControlBar*>& CSizingControlBar::AllBars() { return Registry(); }

bool CSizingControlBar::Create(const QString& title, QMainWindow* frame, QSize defaultSize,
                               bool hasGripper, int id) {
    frame_ = frame;
    setParent(frame);
    setWindowTitle(title);
    setObjectName(QString("SCBar-%1").arg(id));
    id_ = id;
    horizontal_ = vertical_ = floating_ = defaultSize;
    gripper_ = hasGripper ? kGripperSize : 0;
    title_ = new TitleBar(this);
    setTitleBarWidget(title_);
    connect(this, &QDockWidget::dockLocationChanged, this, [this] { OnLocationChanged(); });
    connect(this, &QDockWidget::topLevelChanged, this, [this] { OnLocationChanged(); });
    Registry().append(this);
    return true;
}

bool CSizingControlBar::IsHorizontal() const {
    if (isFloating() || frame_ == nullptr) return false;
    const Qt::DockWidgetArea area = frame_->dockWidgetArea(const_cast<CSizingControlBar*>(this));
    return area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
}

bool CSizingControlBar::IsVertical() const {
    if (isFloating() || frame_ == nullptr) return false;
    const Qt::DockWidgetArea area = frame_->dockWidgetArea(const_cast<CSizingControlBar*>(this));
    return area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
}

void CSizingControlBar::OnLocationChanged() {
    // A bar docked at the top or bottom carries its gripper on the left.
    QDockWidget::DockWidgetFeatures f = features();
    f.setFlag(QDockWidget::DockWidgetVerticalTitleBar, IsHorizontal());
    setFeatures(f);
    if (title_ != nullptr) title_->updateGeometry();
    ApplyStoredSize();
}

void CSizingControlBar::ApplyStoredSize() {
    // The largest minimum among the visible sizing bars of the same area counts for all of them.
    QSize minimum = minimum_;
    for (CSizingControlBar* other : Registry()) {
        if (other != this && other->frame_ == frame_ && frame_ != nullptr && other->isVisible() &&
            frame_->dockWidgetArea(other) == frame_->dockWidgetArea(this)) {
            minimum = minimum.expandedTo(other->minimum_);
        }
    }
    setMinimumSize(minimum);
    if (frame_ == nullptr) return;
    if (isFloating()) {
        resize(floating_.expandedTo(minimum));
    } else if (IsHorizontal()) {
        frame_->resizeDocks({this}, {std::max(horizontal_.height(), minimum.height())},
                            Qt::Vertical);
    } else if (IsVertical()) {
        frame_->resizeDocks({this}, {std::max(vertical_.width(), minimum.width())}, Qt::Horizontal);
    }
}

void CSizingControlBar::resizeEvent(QResizeEvent* event) {
    QDockWidget::resizeEvent(event);
    if (!isVisible()) return;
    if (isFloating()) {
        floating_ = size();
    } else if (IsHorizontal()) {
        horizontal_ = size();
    } else if (IsVertical()) {
        vertical_ = size();
    }
}

QRect CSizingControlBar::CloseButtonRect() const {
    return title_ != nullptr ? QRect(title_->mapTo(this, title_->CloseRect().topLeft()),
                                     title_->CloseRect().size())
                             : QRect();
}

void CSizingControlBar::UpdateCommandState() {
    if (title_ == nullptr || !isVisible()) return;
    const QPoint cursor = title_->mapFromGlobal(QCursor::pos());
    const bool over = title_->rect().contains(cursor) && title_->CloseRect().contains(cursor);
    const bool down = QApplication::mouseButtons() & Qt::LeftButton;
    const bool pushed = over && down && pushed_;
    const bool hot = over && !down;
    if (pushed != pushed_ || hot != hot_) {
        pushed_ = pushed;
        hot_ = hot;
        title_->update();
    }
}

void CSizingControlBar::CloseBar() { hide(); }

void CSizingControlBar::LoadSizes(const QString& prefix) {
    QSettings settings;
    settings.beginGroup(QString("%1-SCBar-%2").arg(prefix).arg(id_).left(255));
    auto load = [&](const char* cx, const char* cy, QSize& size) {
        size.setWidth(std::max(settings.value(cx, size.width()).toInt(), minimum_.width()));
        size.setHeight(std::max(settings.value(cy, size.height()).toInt(), minimum_.height()));
    };
    load("sizeHorzCX", "sizeHorzCY", horizontal_);
    load("sizeVertCX", "sizeVertCY", vertical_);
    load("sizeFloatCX", "sizeFloatCY", floating_);
    settings.endGroup();
    ApplyStoredSize();
}

void CSizingControlBar::SaveSizes(const QString& prefix) const {
    QSettings settings;
    settings.beginGroup(QString("%1-SCBar-%2").arg(prefix).arg(id_).left(255));
    settings.setValue("sizeHorzCX", horizontal_.width());
    settings.setValue("sizeHorzCY", horizontal_.height());
    settings.setValue("sizeVertCX", vertical_.width());
    settings.setValue("sizeVertCY", vertical_.height());
    settings.setValue("sizeFloatCX", floating_.width());
    settings.setValue("sizeFloatCY", floating_.height());
    settings.endGroup();
}
