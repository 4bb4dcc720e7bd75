#include "graph/GraphContainer.h"

#include <QCoreApplication>
#include <QResizeEvent>

#include "graph/GraphNotification.h"
#include "graph/GraphPanel.h"

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

void CGraphContainer::resizeEvent(QResizeEvent*) {
    const int cx = width(), cy = height();
    const int w = verticalRuler_.isVisibleTo(this) ? verticalRuler_.GetThickness() : 0;
    const int h = horizontalRuler_.isVisibleTo(this) ? horizontalRuler_.GetThickness() : 0;
    verticalRuler_.setGeometry(0, 0, w, std::max(0, cy - h));
    horizontalRuler_.setGeometry(w, cy - h, std::max(0, cx - w), h);
    panel_->setGeometry(w, 0, std::max(0, cx - w), std::max(0, cy - h));
}
