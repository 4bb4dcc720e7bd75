// The panel with its two rulers, laid out: value ruler on the left, time ruler below.
#pragma once

#include <QImage>
#include <QWidget>

#include "graph/GraphNotification.h"
#include "graph/Ruler.h"

class CGraphPanel;

class CGraphContainer : public QWidget {
    Q_OBJECT

public:
    explicit CGraphContainer(QWidget* parent = nullptr);

    CGraphPanel* Panel() const { return panel_; }
    FVRuler* VerticalRuler() { return &verticalRuler_; }
    FHRuler* HorizontalRuler() { return &horizontalRuler_; }

    // Forwarding to the panel (nothing without one).
    int Notify(int code, void* payload);
    void NotifyRefresh(int flags) {
        Notify(kNotifyRedraw, reinterpret_cast<void*>(static_cast<intptr_t>(flags)));
    }
    int PanelModeFlags() const;
    void PanelRanges(double& x0, double& x1, double& y0, double& y1) const;

    // The container's current pixels, as a print request copies them.
    QImage PrintImage();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    FVRuler verticalRuler_;
    FHRuler horizontalRuler_;
    CGraphPanel* panel_;
};
