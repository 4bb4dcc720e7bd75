#include "graph/GraphContainer.h"

#include <QCoreApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <new>

#include "graph/GraphNotification.h"
#include "graph/GraphPanel.h"
#include "graph/PlotShapes.h"

CGraphContainer::CGraphContainer(QWidget* parent)
    : QWidget(parent), verticalRuler_(this), horizontalRuler_(this) {
    // The corner below the value ruler belongs to no child: it shows the button face.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    horizontalRuler_.setGeometry(0, 0, 100, 100);
    verticalRuler_.setGeometry(0, 0, 100, 100);
    verticalRuler_.SetRange(0.0, 10.0, true);
    panel_ = new CGraphPanel(&verticalRuler_, &horizontalRuler_, this);
    panel_->setGeometry(0, 0, 100, 100);
}

int CGraphContainer::Notify(int code, void* payload) {
    if (panel_ == nullptr) return 0;
    GraphNotifyEvent event(code, payload);
    panel_->Deliver(event);
    return event.Result();
}

int CGraphContainer::PanelModeFlags() const { return panel_ ? panel_->GetModeFlags() : 0; }

void CGraphContainer::PanelRanges(double& x0, double& x1, double& y0, double& y1) const {
    if (panel_ == nullptr) {
        x0 = x1 = y0 = y1 = 0.0;
        return;
    }
    panel_->GetRanges(x0, x1, y0, y1);
}

QImage CGraphContainer::PrintImage() { return grab().toImage(); }

CGraphContainer::Arrangement CGraphContainer::Arrange(const QRect& rect, int valueThickness,
                                                      int timeThickness) {
    const int cx = rect.width(), cy = rect.height(), w = valueThickness, h = timeThickness;
    const int x = rect.left(), y = rect.top();
    return {QRect(x, y, w, std::max(0, cy - h)), QRect(x + w, y + cy - h, std::max(0, cx - w), h),
            QRect(x + w, y, std::max(0, cx - w), std::max(0, cy - h))};
}

void CGraphContainer::resizeEvent(QResizeEvent*) {
    const int w = verticalRuler_.isVisibleTo(this) ? verticalRuler_.GetThickness() : 0;
    const int h = horizontalRuler_.isVisibleTo(this) ? horizontalRuler_.GetThickness() : 0;
    const Arrangement a = Arrange(rect(), w, h);
    verticalRuler_.setGeometry(a.valueRuler);
    horizontalRuler_.setGeometry(a.timeRuler);
    panel_->setGeometry(a.panel);
}

void CGraphContainer::paintEvent(QPaintEvent*) {
    if (!verticalRuler_.isVisibleTo(this) || !horizontalRuler_.isVisibleTo(this)) return;
    QPainter painter(this);
    const Arrangement a =
        Arrange(rect(), verticalRuler_.GetThickness(), horizontalRuler_.GetThickness());
    verticalRuler_.DrawUnits(painter, Corner(a), verticalRuler_.ScreenTarget());
}

void CGraphContainer::DrawPicture(QPainter& painter, const QRect& rect, double dpiX,
                                  double dpiY) const {
    RulerTarget target;
    target.dpiX = dpiX;
    target.dpiY = dpiY;
    // Lines as wide as a pixel of the window, so that a page shows them as the screen does.
    target.lineWidth = std::max(1, static_cast<int>(dpiY / logicalDpiY()));
    const bool valueShown = verticalRuler_.isVisibleTo(this);
    const bool timeShown = horizontalRuler_.isVisibleTo(this);
    const Arrangement a = Arrange(rect, valueShown ? verticalRuler_.GetThickness(target) : 0,
                                  timeShown ? horizontalRuler_.GetThickness(target) : 0);
    painter.save();
    // The corner below the value ruler shows the container's background.
    painter.fillRect(rect, palette().color(backgroundRole()));

    // The panel's view over the picture's plot: the time ruler's ticks stand on its grid lines.
    double x0, x1, y0, y1;
    panel_->GetRanges(x0, x1, y0, y1);
    const LinearMap xMap(0.0, a.panel.width(), x0, x1);
    RulerTarget timeTarget = target;
    timeTarget.panelXMap = &xMap;
    timeTarget.panelOffset = a.panel.left();
    timeTarget.panelWidth = a.panel.width();
    PanelTarget plot;
    plot.markerHalfSize = static_cast<int>(dpiY * kMarkerHalfSizeInches);
    plot.timeTicks = horizontalRuler_.TimeTicks(a.timeRuler, timeTarget).ticks.values;
    plot.valueIntervals =
        verticalRuler_.LabelCount(QRect(0, 0, a.panel.width(), a.panel.height()), target);

    // On a device that records what it is given (a printer, a PDF file), the plot goes as shapes
    // of its colours; a picture takes its pixels.
    const QPaintEngine* engine = painter.paintEngine();
    const bool picture = engine != nullptr && engine->type() == QPaintEngine::Raster;
    if (!picture || target.lineWidth > 1) {
        DrawPlotShapes(painter, a.panel, *panel_, plot, target.lineWidth);
    } else if (!a.panel.isEmpty()) {
        // The plot in bands of a few million pixels.
        constexpr qint64 kBandPixels = 4 << 20;
        const int bandHeight = static_cast<int>(
            std::clamp<qint64>(kBandPixels / a.panel.width(), 1, a.panel.height()));
        QImage band(a.panel.width(), bandHeight, QImage::Format_RGB555);
        if (band.isNull()) throw std::bad_alloc();
        for (int top = 0; top < a.panel.height(); top += bandHeight) {
            const int rows = std::min(bandHeight, a.panel.height() - top);
            panel_->DrawContents(band, QRect(0, -top, a.panel.width(), a.panel.height()), plot);
            painter.drawImage(QPoint(a.panel.left(), a.panel.top() + top), band,
                              QRect(0, 0, band.width(), rows));
        }
    }
    // Each ruler within its own rectangle, as its window clips it.
    if (valueShown && !a.valueRuler.isEmpty()) {
        painter.setClipRect(a.valueRuler);
        verticalRuler_.Draw(painter, a.valueRuler, target);
    }
    if (timeShown && !a.timeRuler.isEmpty()) {
        painter.setClipRect(a.timeRuler);
        horizontalRuler_.Draw(painter, a.timeRuler, timeTarget);
    }
    if (valueShown && timeShown) {
        painter.setClipRect(Corner(a));
        verticalRuler_.DrawUnits(painter, Corner(a), target);
    }
    painter.restore();
}
