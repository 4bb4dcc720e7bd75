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

    // Draws rulers and plot as the container lays them out, into `rect` of a device with
    // `dpiX` x `dpiY` pixels per inch (one device pixel per painter unit), showing the panel's
    // current view. The widgets are left as they are.
    void DrawPicture(QPainter& painter, const QRect& rect, double dpiX, double dpiY) const;

    // Where value ruler, time ruler and panel lie in a rectangle, with the rulers' thicknesses
    // (0 for a hidden ruler): the value ruler on the left, the time ruler below the panel.
    struct Arrangement {
        QRect valueRuler, timeRuler, panel;
    };
    static Arrangement Arrange(const QRect& rect, int valueThickness, int timeThickness);
    // The square below the value ruler and left of the time ruler, which shows the value units.
    static QRect Corner(const Arrangement& a) {
        return QRect(a.valueRuler.left(), a.timeRuler.top(), a.valueRuler.width(),
                     a.timeRuler.height());
    }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    FVRuler verticalRuler_;
    FHRuler horizontalRuler_;
    CGraphPanel* panel_;
};
