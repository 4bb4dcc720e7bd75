// A graph window with generated series, shown offscreen, for the graph tests.
#pragma once

#include <QApplication>
#include <QWidget>

#include <cmath>
#include <memory>

#include "graph/CurveRenderer.h"
#include "graph/GraphContainer.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"

namespace kws::test {

struct GraphFixture {
    std::unique_ptr<QWidget> host;
    CGraphWnd* graph = nullptr;

    // `kind` is the layout flag: 1 three curves, 0 six curves.
    explicit GraphFixture(int maxSeries = 3, QSize size = QSize(800, 500), int kind = 1) {
        host = std::make_unique<QWidget>();
        host->resize(size);
        graph = new CGraphWnd(maxSeries, kind);
        graph->Create("", QRect(10, 10, size.width() - 20, size.height() - 53), host.get(), 7, 1);
        host->show();
        QApplication::processEvents();
    }
    CGraphPanel* Panel() const { return graph->Panel(); }
    CGraphContainer* Container() const { return graph->Container(); }

    // Three curves over `n` samples one second apart from `start`.
    void AddThreeCurves(int n, int64_t start) {
        graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
        graph->SetAxisTitle("Datum", "", 0, 1, 1);
        const COLORREF colors[3] = {RGB(0, 188, 255), RGB(255, 0, 0), RGB(0, 255, 0)};
        for (int s = 0; s < 3; ++s)
            graph->AddSeries(colors[s], QString("Kurve %1").arg(s), 1, 1, 0);
        for (int s = 0; s < 3; ++s) {
            for (int i = 0; i < n; ++i) {
                const double y = s == 0   ? 40 + 10 * std::sin(i / 200.0)
                                 : s == 1 ? 20 + (i / 300) % 2 * 30
                                          : 5 + i % 7;
                graph->AddPoint(s, i, y, 1, -1, start + i);
            }
        }
        Panel()->FitToData(4105);
        QApplication::processEvents();
    }
};

// The raw 16-bit value of a back-buffer pixel.
inline uint16_t Raw(const QImage& image, int x, int y) {
    return reinterpret_cast<const uint16_t*>(image.constScanLine(y))[x];
}

inline int CountRaw(const QImage& image, uint16_t value) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) n += Raw(image, x, y) == value;
    }
    return n;
}

}  // namespace kws::test
